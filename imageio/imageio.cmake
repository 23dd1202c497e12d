# The JSON trailer of Leia pairs.
find_package(nlohmann_json 3 REQUIRED)
add_library(sg_imageio STATIC
  ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_codecs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_reasons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/multi_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_jpeg_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/animated_gif.cpp
  ${CMAKE_CURRENT_LIST_DIR}/leia_pair.cpp)
target_link_libraries(sg_imageio PUBLIC sg_platform_gdiplus sg_imageio_codecs sg_host_targets sg_platform_memory sg_platform_os
  sg_desktop sg_metadata
  PRIVATE nlohmann_json::nlohmann_json ${SG_GIF_LIBRARY})
target_include_directories(sg_imageio PRIVATE ${SG_GIF_INCLUDE_DIR})
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_imageio)
