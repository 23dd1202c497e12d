# OpenCV (Debian ships no pkg-config file for the single modules): the
# feature detector and matcher, the resampling, and the core they stand on.
find_path(SG_OPENCV_INCLUDE opencv2/features2d.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_path(SG_OPENCV_CONFIG_INCLUDE opencv2/cvconfig.h PATH_SUFFIXES opencv4 REQUIRED)
find_library(SG_OPENCV_CORE opencv_core REQUIRED)
find_library(SG_OPENCV_IMGPROC opencv_imgproc REQUIRED)
find_library(SG_OPENCV_FEATURES2D opencv_features2d REQUIRED)
# Its headers as system headers: they do not build warning-free in C++20.
add_library(sg_opencv INTERFACE IMPORTED GLOBAL)
target_include_directories(sg_opencv SYSTEM INTERFACE ${SG_OPENCV_INCLUDE} ${SG_OPENCV_CONFIG_INCLUDE})
target_link_libraries(sg_opencv INTERFACE ${SG_OPENCV_FEATURES2D} ${SG_OPENCV_IMGPROC} ${SG_OPENCV_CORE})
# The headers alone, for code that uses only OpenCV's inline small matrices
# and so needs none of its libraries.
add_library(sg_opencv_headers INTERFACE IMPORTED GLOBAL)
target_include_directories(sg_opencv_headers SYSTEM INTERFACE ${SG_OPENCV_INCLUDE} ${SG_OPENCV_CONFIG_INCLUDE})

add_library(sg_anaglyph STATIC
  ${CMAKE_CURRENT_LIST_DIR}/anaglyph_method.cpp
  ${CMAKE_CURRENT_LIST_DIR}/anaglyph_mixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/area_resize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/auto_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/composer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/conversion_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/early_measurement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pair_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/perspective_warp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/placement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_layouts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stereo_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/streamed_anaglyph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_alignment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_adjustment.cpp)
target_link_libraries(sg_anaglyph PUBLIC sg_imageio sg_platform_os sg_host_targets sg_host_services sg_platform_gdi sg_platform_text sg_base
  sg_measure PRIVATE sg_opencv_headers)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_anaglyph)

# The matching of a pair, the one user of OpenCV's libraries (whose core
# needs libGLX and so libX11).
add_library(sg_anaglyph_measure STATIC ${CMAKE_CURRENT_LIST_DIR}/pair_measurement.cpp)
target_link_libraries(sg_anaglyph_measure PUBLIC sg_base sg_opencv Threads::Threads)
set_property(GLOBAL APPEND PROPERTY SG_COMPONENTS sg_anaglyph_measure)

# The forwarder that loads libstereoglass-measure.so on the first measurement.
add_library(sg_anaglyph_measure_loader STATIC ${CMAKE_CURRENT_LIST_DIR}/measure_loader.cpp)
target_link_libraries(sg_anaglyph_measure_loader PUBLIC sg_platform_os sg_base)

# libstereoglass-measure.so, and sg_measure: the forwarder for the program,
# the matching itself for everything else.
sg_private_library(measure CODE sg_anaglyph_measure LOADER sg_anaglyph_measure_loader
  LIBS sg_opencv Threads::Threads)
