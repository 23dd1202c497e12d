add_library(sg_host_targets STATIC
  ${CMAKE_CURRENT_LIST_DIR}/target_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thread_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/targets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stretch_copy.cpp)
target_link_libraries(sg_host_targets PUBLIC sg_platform_gdi sg_base Threads::Threads)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_host_targets)
