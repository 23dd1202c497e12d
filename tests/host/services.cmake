sg_add_test(test_services SOURCES ${CMAKE_CURRENT_LIST_DIR}/services_test.cpp LIBS sg_host_services THREADS)
sg_add_test(test_services_dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/services_dialog_test.cpp
  LIBS sg_host_services sg_platform_desktop)
