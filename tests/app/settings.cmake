sg_add_test(test_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp LIBS sg_app_settings)
