sg_add_test(test_anaglyph_choices SOURCES ${CMAKE_CURRENT_LIST_DIR}/anaglyph_choices_test.cpp LIBS sg_app_flow)
