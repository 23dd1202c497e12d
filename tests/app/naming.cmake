sg_add_test(test_naming SOURCES ${CMAKE_CURRENT_LIST_DIR}/naming_test.cpp LIBS sg_app_naming)
