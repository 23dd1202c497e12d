sg_add_test(test_chooser
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chooser_test.cpp
  LIBS sg_app_chooser)
sg_add_test(test_chooser_windows
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chooser_windows_test.cpp
  LIBS sg_app_chooser THREADS)
