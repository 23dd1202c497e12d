# The command-line runs: the batch plan, its workers and progress bar, and
# the entry that picks the dialog, one picture shown, or a batch.
find_package(Git QUIET)
set(SG_GIT_DESCRIPTION "")
if(GIT_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --tags --dirty
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE SG_GIT_DESCRIPTION
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/app/version.h @ONLY)

add_library(sg_app_batch STATIC
  ${CMAKE_CURRENT_LIST_DIR}/batch_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/batch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thumbnail.cpp)
target_include_directories(sg_app_batch PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(sg_app_batch PUBLIC sg_app_command_line sg_app_flow sg_app_naming sg_anaglyph
  sg_imageio_codecs sg_platform_text sg_platform_temporary_files sg_platform_os Threads::Threads)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_batch)
