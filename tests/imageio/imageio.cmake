sg_add_test(test_imageio SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/wide_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probe_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_reasons_test.cpp
  LIBS sg_imageio)

# The export as another program sees it: a C program that dlopens the
# shared library.
add_executable(test_imageio_export ${CMAKE_CURRENT_LIST_DIR}/export_test.c)
target_compile_definitions(test_imageio_export PRIVATE SG_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(test_imageio_export PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(test_imageio_export libstereoglass)
add_test(NAME test_imageio_export COMMAND test_imageio_export $<TARGET_FILE:libstereoglass>)
set_tests_properties(test_imageio_export PROPERTIES TIMEOUT 120)
