sg_add_test(test_temporary_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_files_test.cpp
  LIBS sg_platform_temporary_files)
