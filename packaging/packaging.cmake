# Installing and packaging: the program, libstereoglass.so with its header,
# the desktop entry, icon, MIME definitions, file-manager thumbnailer and man
# page; `make package` (or
# `cmake --build build --target package`) builds a .deb whose dependencies
# dpkg-shlibdeps finds from the shared libraries it links.
include(GNUInstallDirs)

set_target_properties(libstereoglass PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/libstereoglass.map)
target_link_options(libstereoglass PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/libstereoglass.map)

install(TARGETS stereoglass RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS libstereoglass LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/imageio/export.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  RENAME stereoglass.h)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME stereoglass.xml)
install(FILES ${CMAKE_SOURCE_DIR}/doc/stereoglass.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Anaglyph previews of MPO and JPS files in Nautilus, Nemo and Thunar.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/stereoglass.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stereoglass)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Stereoglass developers <stereoglass@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn stereo pictures into anaglyphs")
set(CPACK_PACKAGE_DESCRIPTION
  "Stereoglass turns a stereo picture into a red/cyan (or green/magenta,\namber/blue) anaglyph and shows it full screen; from the command line it\nconverts whole folders without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
