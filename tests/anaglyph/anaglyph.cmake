sg_add_test(test_anaglyph SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/composer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mixer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/placement_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/perspective_warp_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_alignment_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp
  LIBS sg_anaglyph sg_imageio_codecs sg_opencv)
