# Run by CPack after it has built the packages: CPack gives a package with a
# shared library in /usr/lib a postinst and a postrm that call ldconfig,
# which dpkg's ldconfig trigger (the library package's triggers file) makes
# needless; the program's package gets the same pair for its private
# libraries in /usr/lib/stereoglass, which ldconfig never looks at.
# They are taken out, and the package is built again from what CPack put in
# it.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^(libstereoglass1|stereoglass)_")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot unpack ${deb}")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb} OUTPUT_QUIET RESULT_VARIABLE failed)
  file(REMOVE_RECURSE ${tree})
  if(failed)
    message(FATAL_ERROR "cannot build ${deb} again")
  endif()
endforeach()
