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

# What the tree links for the metadata: a target with the property
# SG_METADATA_LOADED (the program) gets the forwarders and so links no
# Exiv2; every other one (the tests, the benchmarks, libstereoglass.so)
# links the copy itself.
add_library(sg_metadata INTERFACE)
target_link_libraries(sg_metadata INTERFACE
  "$<IF:$<BOOL:$<TARGET_PROPERTY:SG_METADATA_LOADED>>,sg_imageio_metadata_loader,sg_imageio_metadata>")

add_library(sg_metadata_module SHARED ${CMAKE_CURRENT_LIST_DIR}/metadata_module.cpp
  $<TARGET_OBJECTS:sg_imageio_metadata>)
set_target_properties(sg_metadata_module PROPERTIES OUTPUT_NAME stereoglass-metadata
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/stereoglass)
# The rest (the table of picture formats) comes from the program that loads
# the library, which exports its symbols.
target_link_libraries(sg_metadata_module PRIVATE PkgConfig::SG_EXIV2 PkgConfig::SG_ZLIB)
target_link_options(sg_metadata_module PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/metadata_module.map)
set_property(TARGET sg_metadata_module APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/metadata_module.map)
