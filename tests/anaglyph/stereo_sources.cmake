sg_add_test(test_stereo_sources SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stereo_source_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_layouts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_metadata_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metadata_safety_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_output_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_fixtures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp
  LIBS sg_anaglyph sg_imageio_codecs PkgConfig::SG_EXIV2 PkgConfig::SG_ZLIB)
