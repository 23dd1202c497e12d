sg_add_test(test_batch SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_test.cpp LIBS sg_app_batch THREADS)
