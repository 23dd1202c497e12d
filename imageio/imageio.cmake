add_library(sg_imageio STATIC
  ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export.cpp)
target_link_libraries(sg_imageio PUBLIC sg_platform_gdiplus sg_platform_codecs sg_host_targets)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_imageio)
