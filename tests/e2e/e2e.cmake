# The real program under its own Xvfb and openbox, driven like a user would.
sg_add_test(test_end_to_end SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/end_to_end_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/program.cpp
  ${CMAKE_SOURCE_DIR}/tests/anaglyph/stereo_fixtures.cpp
  ${CMAKE_SOURCE_DIR}/tests/anaglyph/pictures.cpp
  LIBS sg_platform_codecs sg_base)
target_compile_definitions(test_end_to_end PRIVATE SG_PROGRAM="$<TARGET_FILE:stereoglass>")
add_dependencies(test_end_to_end stereoglass)

# Start-up checks and the "No GDI+" message, in process.
sg_add_test(test_startup SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp
  LIBS sg_app_flow)
