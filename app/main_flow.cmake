add_library(sg_app_flow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/anaglyph_choices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_flow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup.cpp)
target_link_libraries(sg_app_flow PUBLIC sg_anaglyph sg_app_naming sg_app_chooser sg_app_settings sg_host_window
  sg_host_services sg_desktop sg_platform_kernel sg_platform_memory)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_flow)
