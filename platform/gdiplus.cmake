# The GDI+ substitute and OLE byte strings.
add_library(sg_platform_gdiplus STATIC
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_scale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_draw.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdiplus_encoders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_codecs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ole.cpp)
target_link_libraries(sg_platform_gdiplus PUBLIC
  sg_platform_gdi sg_platform_text sg_base)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_gdiplus)
