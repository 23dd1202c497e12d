sg_add_test(test_targets SOURCES ${CMAKE_CURRENT_LIST_DIR}/targets_test.cpp LIBS sg_host_targets THREADS)
