# The start-up baseline of bench/startup.sh: a bare program linked against
# the codecs alone.
add_executable(bench_bare_codecs ${CMAKE_CURRENT_LIST_DIR}/bare_codecs.cpp)
target_include_directories(bench_bare_codecs PRIVATE ${SG_GIF_INCLUDE_DIR})
target_link_libraries(bench_bare_codecs PRIVATE PkgConfig::SG_CODECS ${SG_GIF_LIBRARY})
