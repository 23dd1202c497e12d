# The command line: every option parsed in one place.
add_library(sg_app_command_line STATIC ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp)
target_link_libraries(sg_app_command_line PUBLIC sg_app_settings)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_command_line)
