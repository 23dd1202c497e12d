sg_add_test(test_memory SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_test.cpp LIBS sg_platform_memory)
