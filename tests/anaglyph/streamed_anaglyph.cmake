sg_add_test(test_streamed_anaglyph THREADS SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/streamed_anaglyph_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_fixtures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp
  LIBS sg_anaglyph sg_imageio_codecs PkgConfig::SG_CODECS)
