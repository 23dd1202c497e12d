add_executable(bench_targets ${CMAKE_CURRENT_LIST_DIR}/targets_bench.cpp)
target_link_libraries(bench_targets PRIVATE sg_host_targets sg_platform_memory benchmark::benchmark)
