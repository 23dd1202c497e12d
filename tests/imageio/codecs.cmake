sg_add_test(test_codecs
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/codecs_fixtures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codecs_round_trip_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codecs_decode_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codecs_bad_input_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/codecs_save_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jpeg_rows_test.cpp
  LIBS sg_imageio_codecs PkgConfig::SG_CODECS ${SG_GIF_LIBRARY})
target_include_directories(test_codecs PRIVATE ${SG_GIF_INCLUDE_DIR})
