sg_add_test(test_window_wait SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_wait_test.cpp LIBS sg_host_window)
sg_add_test(test_window
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.cpp
  LIBS sg_host_window sg_platform_x11 sg_platform_gdiplus THREADS)
sg_add_test(test_window_wm
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_wm_test.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.cpp
  LIBS sg_host_window sg_platform_x11 THREADS)
