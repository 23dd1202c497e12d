sg_add_test(test_gdiplus SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_ole_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_clipboard_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_codecs_setup.cpp
  LIBS sg_platform_gdiplus sg_imageio)
