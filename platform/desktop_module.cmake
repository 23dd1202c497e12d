# The desktop parts of the platform layer (everything that needs X11 or GTK)
# and how the rest of the tree reaches them. They are also built as a private
# shared library, libstereoglass-desktop.so, whose one entry is the table of
# platform/desktop_module.h.
set(sg_desktop_parts sg_platform_desktop sg_platform_display sg_platform_window sg_platform_x11)
add_library(sg_platform_desktop_all INTERFACE)
target_link_libraries(sg_platform_desktop_all INTERFACE ${sg_desktop_parts})

# The forwarders that load the library on the first desktop call.
add_library(sg_platform_desktop_loader STATIC ${CMAKE_CURRENT_LIST_DIR}/desktop_loader.cpp)
target_link_libraries(sg_platform_desktop_loader PUBLIC sg_platform_os ${CMAKE_DL_LIBS})

# What the tree links for the desktop calls: a target with the property
# SG_DESKTOP_LOADED (the program) gets the forwarders and so links no desktop
# library; every other one (the tests, the benchmarks, libstereoglass.so)
# links the desktop code itself.
add_library(sg_desktop INTERFACE)
target_link_libraries(sg_desktop INTERFACE
  "$<IF:$<BOOL:$<TARGET_PROPERTY:SG_DESKTOP_LOADED>>,sg_platform_desktop_loader,sg_platform_desktop_all>")

add_library(sg_desktop_module SHARED ${CMAKE_CURRENT_LIST_DIR}/desktop_module.cpp)
set_target_properties(sg_desktop_module PROPERTIES OUTPUT_NAME stereoglass-desktop
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/stereoglass)
foreach(part ${sg_desktop_parts})
  target_sources(sg_desktop_module PRIVATE $<TARGET_OBJECTS:${part}>)
endforeach()
# The rest of the platform layer (text, handles, GDI, the picture codecs)
# comes from the program that loads the library, which exports its symbols:
# one copy of the handle tables and bitmaps for both.
target_link_libraries(sg_desktop_module PRIVATE PkgConfig::SG_GTK3 PkgConfig::SG_X11 Threads::Threads)
target_link_options(sg_desktop_module PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/desktop_module.map)
set_property(TARGET sg_desktop_module APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/desktop_module.map)
