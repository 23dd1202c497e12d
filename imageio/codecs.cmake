# Picture decoders and encoders: libjpeg-turbo (TurboJPEG API), libpng,
# libtiff, giflib, and our own BMP and ICO code.
pkg_check_modules(SG_CODECS REQUIRED IMPORTED_TARGET GLOBAL libturbojpeg libpng libtiff-4)
find_path(SG_GIF_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(SG_GIF_LIBRARY gif REQUIRED)
add_library(sg_imageio_codecs STATIC
  ${CMAKE_CURRENT_LIST_DIR}/codecs/codec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/picture_formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/file_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/jpeg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/png.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/prefetch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/gif.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/tiff.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/bmp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codecs/ico.cpp)
target_include_directories(sg_imageio_codecs PRIVATE ${SG_GIF_INCLUDE_DIR})
target_link_libraries(sg_imageio_codecs PUBLIC sg_base sg_platform_memory Threads::Threads PRIVATE PkgConfig::SG_CODECS ${SG_GIF_LIBRARY})
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_imageio_codecs)
