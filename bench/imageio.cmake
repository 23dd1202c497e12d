# Picture I/O through the GDI+ substitute against bare TurboJPEG calls.
pkg_check_modules(SG_BENCH_TJ REQUIRED IMPORTED_TARGET libturbojpeg)
add_executable(bench_imageio ${CMAKE_CURRENT_LIST_DIR}/imageio_bench.cpp)
target_compile_definitions(bench_imageio PRIVATE SG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(bench_imageio PRIVATE sg_platform_gdiplus PkgConfig::SG_BENCH_TJ benchmark::benchmark)
