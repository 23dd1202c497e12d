sg_add_test(test_command_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp LIBS sg_app_command_line)
