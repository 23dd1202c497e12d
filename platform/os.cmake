# The operating system's calls for the layers above the platform.
add_library(sg_platform_os STATIC ${CMAKE_CURRENT_LIST_DIR}/os.cpp)
target_link_libraries(sg_platform_os PUBLIC sg_base ${CMAKE_DL_LIBS})
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_os)
