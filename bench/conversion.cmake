# The whole conversion from file to file against the codec floor, and a
# one-shot converter for measuring peak memory with /usr/bin/time -v.
add_executable(bench_conversion ${CMAKE_CURRENT_LIST_DIR}/conversion_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sbs_sample.cpp)
target_compile_definitions(bench_conversion PRIVATE SG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(bench_conversion PRIVATE sg_app_flow sg_imageio_codecs PkgConfig::SG_BENCH_TJ
  benchmark::benchmark)

add_executable(bench_convert_file ${CMAKE_CURRENT_LIST_DIR}/convert_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sbs_sample.cpp)
target_compile_definitions(bench_convert_file PRIVATE SG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(bench_convert_file PRIVATE sg_app_flow sg_imageio_codecs)

# The codec floor as a fresh process, for bench/cold.sh.
add_executable(bench_codec_floor ${CMAKE_CURRENT_LIST_DIR}/codec_floor.cpp)
target_link_libraries(bench_codec_floor PRIVATE sg_base PkgConfig::SG_BENCH_TJ)

# The run after the dialog, for bench/idle.sh and bench/screen.sh.
add_executable(bench_show_file ${CMAKE_CURRENT_LIST_DIR}/show_file.cpp)
target_link_libraries(bench_show_file PRIVATE sg_app_flow)

# Reads the screen until it settles, for bench/screen.sh.
find_package(X11 REQUIRED)
add_executable(bench_screen_settle ${CMAKE_CURRENT_LIST_DIR}/screen_settle.cpp)
target_link_libraries(bench_screen_settle PRIVATE X11::X11)

# The screen after a key in the real dialog, for bench/dialog_to_screen.sh.
add_executable(bench_dialog_settle ${CMAKE_CURRENT_LIST_DIR}/dialog_settle.cpp)
target_link_libraries(bench_dialog_settle PRIVATE X11::X11)

# The mixer alone, every kind of method on the 16-megapixel picture's views.
add_executable(bench_mixer ${CMAKE_CURRENT_LIST_DIR}/mixer_bench.cpp)
target_link_libraries(bench_mixer PRIVATE sg_anaglyph benchmark::benchmark)
