sg_add_test(test_gdi SOURCES ${CMAKE_CURRENT_LIST_DIR}/gdi_test.cpp LIBS sg_platform_gdi)
