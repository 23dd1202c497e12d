# The registry of temporary files that a fatal signal removes.
add_library(sg_platform_temporary_files STATIC ${CMAKE_CURRENT_LIST_DIR}/temporary_files.cpp)
target_link_libraries(sg_platform_temporary_files PUBLIC Threads::Threads)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_temporary_files)
