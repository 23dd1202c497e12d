sg_add_test(test_base SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/rounding_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_string_test.cpp
  LIBS sg_base)
