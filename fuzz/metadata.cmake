# The metadata copy (Exiv2, the profile and chunk readers) on bytes.
add_executable(fuzz_metadata ${CMAKE_CURRENT_LIST_DIR}/fuzz_metadata.cpp
  ${CMAKE_SOURCE_DIR}/imageio/metadata.cpp ${CMAKE_SOURCE_DIR}/imageio/metadata_blocks.cpp)
target_link_libraries(fuzz_metadata PRIVATE sg_imageio_codecs PkgConfig::SG_EXIV2 PkgConfig::SG_ZLIB)
target_link_options(fuzz_metadata PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzzers fuzz_metadata)
