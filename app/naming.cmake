add_library(sg_app_naming STATIC ${CMAKE_CURRENT_LIST_DIR}/naming.cpp)
target_link_libraries(sg_app_naming PUBLIC sg_platform_text)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_app_naming)
