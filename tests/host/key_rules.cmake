sg_add_test(test_key_rules SOURCES ${CMAKE_CURRENT_LIST_DIR}/key_rules_test.cpp LIBS sg_host_window)
