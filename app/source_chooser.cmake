# The source chooser and its dialog watcher.
add_library(sg_app_chooser STATIC ${CMAKE_CURRENT_LIST_DIR}/source_chooser.cpp)
target_link_libraries(sg_app_chooser PUBLIC sg_host_services sg_desktop sg_platform_text)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_chooser)
