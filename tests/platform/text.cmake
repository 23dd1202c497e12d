sg_add_test(test_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_test.cpp LIBS sg_platform_text)
