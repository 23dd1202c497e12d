# Handle ids: one id space for every handle of the platform layer.
add_library(sg_platform_handles STATIC ${CMAKE_CURRENT_LIST_DIR}/handles.cpp)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_handles)

add_library(sg_platform_gdi STATIC
  ${CMAKE_CURRENT_LIST_DIR}/gdi_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_dc_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_fill.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_dib.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_stretch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_halftone_sse2.cpp)
target_link_libraries(sg_platform_gdi PUBLIC sg_platform_handles sg_base)
# The pixel loops are written to be vectorised.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/gdi_stretch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_halftone_sse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_dib.cpp
  PROPERTIES COMPILE_OPTIONS "$<$<NOT:$<CONFIG:Debug>>:-O3>")
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_platform_gdi)
