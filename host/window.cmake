# The graphic window: its window thread, the surface bitmap, the key rules
# and the wait for a key.
add_library(sg_host_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/graphic_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/graphic_window_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/graphic_window_wait.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_rules.cpp)
target_link_libraries(sg_host_window PUBLIC sg_host_targets sg_desktop sg_platform_gdi sg_platform_text sg_platform_kernel)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_host_window)
