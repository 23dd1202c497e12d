# The metadata copy (metadata.cpp and the profile and chunk readers it
# uses), the one user of Exiv2, which brings libexiv2 and libexpat.
pkg_check_modules(SG_EXIV2 REQUIRED IMPORTED_TARGET GLOBAL exiv2)
pkg_check_modules(SG_ZLIB REQUIRED IMPORTED_TARGET GLOBAL zlib)
add_library(sg_imageio_metadata STATIC
  ${CMAKE_CURRENT_LIST_DIR}/metadata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metadata_blocks.cpp)
target_link_libraries(sg_imageio_metadata PUBLIC sg_imageio_codecs sg_base PRIVATE PkgConfig::SG_EXIV2 PkgConfig::SG_ZLIB)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_imageio_metadata)

# The forwarders that load libstereoglass-metadata.so on the first look at a
# source's metadata.
add_library(sg_imageio_metadata_loader STATIC ${CMAKE_CURRENT_LIST_DIR}/metadata_loader.cpp)
target_link_libraries(sg_imageio_metadata_loader PUBLIC sg_platform_os sg_base)

# libstereoglass-metadata.so, and sg_metadata: the forwarders for the
# program, the copy itself for everything else.
sg_private_library(metadata CODE sg_imageio_metadata LOADER sg_imageio_metadata_loader
  LIBS PkgConfig::SG_EXIV2 PkgConfig::SG_ZLIB)
