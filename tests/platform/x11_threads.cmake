sg_add_test(test_x11_threads SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11_threads_test.cpp LIBS sg_platform_desktop ${CMAKE_DL_LIBS})
