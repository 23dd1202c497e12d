sg_add_test(test_codecs SOURCES ${CMAKE_CURRENT_LIST_DIR}/codecs_test.cpp LIBS sg_platform_codecs)
