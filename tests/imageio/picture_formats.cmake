sg_add_test(test_picture_formats SOURCES ${CMAKE_CURRENT_LIST_DIR}/picture_formats_test.cpp
  LIBS sg_imageio sg_app_command_line)
target_compile_definitions(test_picture_formats PRIVATE SG_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
