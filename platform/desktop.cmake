# The desktop side of the platform layer: the screen and work area, the USER
# calls on other windows by title, the GTK dialogs and the clipboard.
pkg_check_modules(SG_GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
add_library(sg_platform_desktop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/desktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/user_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogs_gtk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogs_open.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogs_message.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogs_busy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clipboard.cpp)
target_link_libraries(sg_platform_desktop PUBLIC PkgConfig::SG_GTK3 sg_platform_x11 sg_platform_text
  sg_platform_kernel sg_platform_gdiplus)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_desktop)
