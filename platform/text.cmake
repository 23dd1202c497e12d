add_library(sg_platform_text STATIC ${CMAKE_CURRENT_LIST_DIR}/text.cpp)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_text)
