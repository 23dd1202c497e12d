# Picture decoders and encoders: libjpeg-turbo (TurboJPEG API and, for bands
# of rows, the libjpeg API), libpng,
# libtiff, giflib, and our own BMP and ICO code, with the table of formats.
# They need only base and the memory check.
pkg_check_modules(SG_CODECS REQUIRED IMPORTED_TARGET GLOBAL libturbojpeg libjpeg libpng libtiff-4)
find_path(SG_GIF_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(SG_GIF_LIBRARY gif REQUIRED)
# Every file of imageio/codecs: a new format is a row of picture_formats.cpp
# and a codec file here.
file(GLOB sg_codec_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/codecs/*.cpp)
add_library(sg_imageio_codecs STATIC ${sg_codec_sources})
target_include_directories(sg_imageio_codecs PRIVATE ${SG_GIF_INCLUDE_DIR})
target_link_libraries(sg_imageio_codecs PUBLIC sg_base sg_platform_memory sg_platform_os Threads::Threads PRIVATE PkgConfig::SG_CODECS ${SG_GIF_LIBRARY}
  sg_platform_temporary_files)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_imageio_codecs)
