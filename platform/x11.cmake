# The X11 base shared by every part of the platform layer that talks to the
# X server.
pkg_check_modules(SG_X11 REQUIRED IMPORTED_TARGET x11 xtst xrandr)
add_library(sg_platform_x11 STATIC ${CMAKE_CURRENT_LIST_DIR}/x11_threads.cpp)
target_link_libraries(sg_platform_x11 PUBLIC PkgConfig::SG_X11 Threads::Threads)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_x11)
