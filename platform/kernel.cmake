# KERNEL and COM calls on POSIX: threads, sleeping, the current directory, the
# last error, the local time, the version and the COM counters.
add_library(sg_platform_kernel STATIC ${CMAKE_CURRENT_LIST_DIR}/kernel.cpp)
target_link_libraries(sg_platform_kernel PUBLIC sg_platform_text Threads::Threads
  sg_platform_handles)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_kernel)
