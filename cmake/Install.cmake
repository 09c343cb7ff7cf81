# Installation and the Debian package.
#
#   cmake --install build/default --prefix DIR
#   (cd build/default && cpack -G DEB)
#
# The toolkit's tools go to bin; their data (catalogues, trans.conf, help
# pages) to share/orvik, where an installed tool looks when neither -d nor
# ORVIK_TOOLKIT_DIR names another directory. The installer itself runs from an
# install site, never from a system directory, so it is installed under
# libexec/orvik together with make-site, which builds a site around it.
include(GNUInstallDirs)

set(ORVIK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/orvik)
set(ORVIK_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/orvik)
set(ORVIK_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvik)

install(TARGETS setup RUNTIME DESTINATION ${ORVIK_INSTALL_LIBEXECDIR})
install(PROGRAMS tools/make-site DESTINATION ${ORVIK_INSTALL_LIBEXECDIR})
foreach(tool qdb textmenu helptty)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY ${ORVIK_TOOLKIT_BUILD_DIR}/ DESTINATION ${ORVIK_INSTALL_DATADIR}
        PATTERN "*.qdb_new" EXCLUDE)
install(FILES man/setup.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES man/qdb.1 man/textmenu.1 man/helptty.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${ORVIK_INSTALL_DOCDIR})
install(DIRECTORY data/menus/ DESTINATION ${ORVIK_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME orvik)
set(CPACK_PACKAGE_VENDOR "Orvik")
set(CPACK_PACKAGE_CONTACT "Orvik print suite maintainers <orvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Orvik print suite installer and its text-mode toolkit")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs run these system tools; setup finds them on the search path.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "coreutils, tar, gzip, sed, grep, findutils, procps, util-linux")
include(CPack)
