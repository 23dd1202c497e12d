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

# What the tree links for the measurement: a target with the property
# SG_MEASURE_LOADED (the program) gets the forwarder and so links no OpenCV
# library; every other one (the tests, the benchmarks, libstereoglass.so)
# links the matching itself.
add_library(sg_measure INTERFACE)
target_link_libraries(sg_measure INTERFACE
  "$<IF:$<BOOL:$<TARGET_PROPERTY:SG_MEASURE_LOADED>>,sg_anaglyph_measure_loader,sg_anaglyph_measure>")

add_library(sg_measure_module SHARED ${CMAKE_CURRENT_LIST_DIR}/measure_module.cpp
  $<TARGET_OBJECTS:sg_anaglyph_measure>)
set_target_properties(sg_measure_module PROPERTIES OUTPUT_NAME stereoglass-measure
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/stereoglass)
# The rest (the images, the parallel parts) comes from the program that
# loads the library, which exports its symbols.
target_link_libraries(sg_measure_module PRIVATE sg_opencv Threads::Threads)
target_link_options(sg_measure_module PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/measure_module.map)
set_property(TARGET sg_measure_module APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/measure_module.map)
