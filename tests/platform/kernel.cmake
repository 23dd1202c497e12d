sg_add_test(test_kernel SOURCES ${CMAKE_CURRENT_LIST_DIR}/kernel_test.cpp LIBS sg_platform_kernel THREADS)
