# The multi-picture index, back-to-back, Leia pair and JPS descriptor search on bytes.
find_package(nlohmann_json 3 REQUIRED)
add_executable(fuzz_stereo_frames ${CMAKE_CURRENT_LIST_DIR}/fuzz_stereo_frames.cpp
  ${CMAKE_SOURCE_DIR}/imageio/multi_picture.cpp
  ${CMAKE_SOURCE_DIR}/imageio/leia_pair.cpp)
target_link_libraries(fuzz_stereo_frames PRIVATE sg_imageio_codecs nlohmann_json::nlohmann_json)
target_link_options(fuzz_stereo_frames PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzzers fuzz_stereo_frames)
