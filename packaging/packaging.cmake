# Installing and packaging: the program, libstereoglass.so with its header,
# the desktop entry, icon, MIME definitions, file-manager thumbnailer and man
# page; `make package` (or `cmake --build build --target package`) builds
# three .deb files in build/ whose dependencies dpkg-shlibdeps finds from the
# shared libraries they link.
include(GNUInstallDirs)

set_target_properties(libstereoglass PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/libstereoglass.map)
target_link_options(libstereoglass PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/libstereoglass.map)

# Three packages, split as Debian splits a library: the program
# (stereoglass), the shared library under its soname (libstereoglass1) and
# what building against it needs, the header and the .so link
# (libstereoglass-dev). The program links the components itself, so it does
# not depend on the library package.
set(SG_PACKAGE_MAINTAINER "Stereoglass developers <stereoglass@example.org>" CACHE STRING
  "The Maintainer field of the Debian packages: a name and a mail address")

install(TARGETS stereoglass RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
# The desktop, measuring and metadata libraries are the program's own,
# beside it in a private folder.
set_target_properties(stereoglass PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}/stereoglass")
install(TARGETS sg_desktop_module sg_measure_module sg_metadata_module
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/stereoglass COMPONENT program)
install(TARGETS libstereoglass LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  NAMELINK_COMPONENT development)
install(FILES ${CMAKE_SOURCE_DIR}/imageio/export.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  RENAME stereoglass.h COMPONENT development)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME stereoglass.xml COMPONENT program)

# The manual page and the changelog are installed compressed, as Debian
# wants them; gzip -n keeps the bytes the same from build to build.
set(sg_packaging_out ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${sg_packaging_out}/stereoglass.1.gz ${sg_packaging_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${sg_packaging_out}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/doc/stereoglass.1 > ${sg_packaging_out}/stereoglass.1.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${sg_packaging_out}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/stereoglass.1 ${CMAKE_CURRENT_LIST_DIR}/changelog
  VERBATIM)
add_custom_target(sg_packaging_files ALL
  DEPENDS ${sg_packaging_out}/stereoglass.1.gz ${sg_packaging_out}/changelog.gz)
install(FILES ${sg_packaging_out}/stereoglass.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

# Every package has its copyright file and changelog in its own doc folder.
foreach(sg_package program:stereoglass library:libstereoglass1 development:libstereoglass-dev)
  string(REPLACE ":" ";" sg_package ${sg_package})
  list(GET sg_package 0 sg_component)
  list(GET sg_package 1 sg_name)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${sg_packaging_out}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${sg_name} COMPONENT ${sg_component})
endforeach()
# Anaglyph previews of MPO and JPS files in Nautilus, Nemo and Thunar.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers
  COMPONENT program)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program library development)
set(CPACK_PACKAGE_NAME stereoglass)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SG_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME stereoglass)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "turn stereo pictures into anaglyphs
Stereoglass turns a stereo picture into a red/cyan (or green/magenta,
amber/blue) anaglyph and shows it full screen; from the command line it
converts whole folders without a display.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libstereoglass1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "Stereoglass picture loader library
The shared library of Stereoglass: it loads a picture file (JPEG, PNG, GIF,
TIFF, BMP, ICO) into a drawing target for other programs.")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The ldconfig trigger, not ldconfig called from maintainer scripts.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/without-ldconfig-scripts.cmake)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libstereoglass-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libstereoglass1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Stereoglass picture loader library (development files)
The header stereoglass.h and the link libstereoglass.so, for building
programs that use the Stereoglass picture loader library.")
include(CPack)
