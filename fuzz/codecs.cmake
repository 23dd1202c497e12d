# One fuzzer per picture decoder entry point; each forces its format's
# signature so that the run stays inside that decoder.
foreach(name bmp ico jpeg png gif tiff)
  add_executable(fuzz_${name} ${CMAKE_CURRENT_LIST_DIR}/fuzz_${name}.cpp ${CMAKE_CURRENT_LIST_DIR}/codec_fuzz.cpp)
  target_link_libraries(fuzz_${name} PRIVATE sg_imageio_codecs)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzzers fuzz_${name})
endforeach()
