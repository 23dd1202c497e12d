# The graphic window's X11 side: a top-level window painted from a GDI
# bitmap, key presses as PC scan codes and UTF-16 characters, and the bell.
add_library(sg_platform_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/x11_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_window_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_beep.cpp)
target_link_libraries(sg_platform_window PUBLIC sg_platform_x11 sg_platform_gdi sg_platform_text)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_window)
