# The dialog, message box, thread, pause, desktop and current-folder services.
add_library(sg_host_services STATIC ${CMAKE_CURRENT_LIST_DIR}/services.cpp)
target_link_libraries(sg_host_services PUBLIC sg_desktop sg_platform_kernel
  sg_host_targets)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_host_services)
