# The real program under its own Xvfb and openbox, driven like a user would.
sg_add_test(test_end_to_end SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/end_to_end_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/program.cpp
  ${CMAKE_SOURCE_DIR}/tests/anaglyph/stereo_fixtures.cpp
  ${CMAKE_SOURCE_DIR}/tests/anaglyph/pictures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_command.cpp
  LIBS sg_imageio_codecs sg_base)
target_compile_definitions(test_end_to_end PRIVATE SG_PROGRAM="$<TARGET_FILE:stereoglass>")
add_dependencies(test_end_to_end stereoglass)

# Start-up checks and the "No GDI+" message, in process.
sg_add_test(test_startup SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp
  LIBS sg_app_flow)

# The command line without a display: batch runs, usage errors, settings.
sg_add_test(test_batch_runs SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/batch_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_command.cpp
  LIBS sg_imageio_codecs)
target_compile_definitions(test_batch_runs PRIVATE SG_PROGRAM="$<TARGET_FILE:stereoglass>")
add_dependencies(test_batch_runs stereoglass)

# The install tree and the .deb files: their files, lintian, and the program run from them.
sg_add_test(test_package SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/package_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_command.cpp)
target_compile_definitions(test_package PRIVATE SG_CMAKE="${CMAKE_COMMAND}" SG_CPACK="${CMAKE_CPACK_COMMAND}")
add_dependencies(test_package stereoglass libstereoglass sg_packaging_files)
