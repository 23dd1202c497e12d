# The settings file: the user's defaults for the conversion's options.
add_library(sg_app_settings STATIC ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp)
target_link_libraries(sg_app_settings PUBLIC sg_anaglyph PRIVATE sg_platform_temporary_files sg_platform_os)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_settings)
