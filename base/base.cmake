add_library(sg_base STATIC
  ${CMAKE_CURRENT_LIST_DIR}/rounding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_string.cpp)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_base)
