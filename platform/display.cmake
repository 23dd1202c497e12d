add_library(sg_platform_display STATIC ${CMAKE_CURRENT_LIST_DIR}/display.cpp)
target_link_libraries(sg_platform_display PUBLIC sg_platform_x11)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_display)
