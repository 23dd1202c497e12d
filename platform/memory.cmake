add_library(sg_platform_memory STATIC ${CMAKE_CURRENT_LIST_DIR}/memory.cpp)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_memory)
