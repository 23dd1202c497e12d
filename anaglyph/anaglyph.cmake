# FFTW for the vertical alignment's phase correlation.
pkg_check_modules(SG_FFTW REQUIRED IMPORTED_TARGET GLOBAL fftw3)

add_library(sg_anaglyph STATIC
  ${CMAKE_CURRENT_LIST_DIR}/anaglyph_method.cpp
  ${CMAKE_CURRENT_LIST_DIR}/anaglyph_mixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/area_resize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/composer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/placement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_layouts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vertical_alignment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_adjustment.cpp)
target_link_libraries(sg_anaglyph PUBLIC sg_imageio sg_platform_os sg_host_targets sg_host_services sg_platform_gdi sg_platform_text sg_base
  PRIVATE PkgConfig::SG_FFTW)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_anaglyph)
