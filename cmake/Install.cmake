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
set(ORVIK_MAINTAINER "The Orvik project <maintainers@orvik.example>")

install(TARGETS setup RUNTIME DESTINATION ${ORVIK_INSTALL_LIBEXECDIR})
# make-site goes with the package's version filled in.
configure_file(tools/make-site ${CMAKE_BINARY_DIR}/package/make-site @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/package/make-site DESTINATION ${ORVIK_INSTALL_LIBEXECDIR})
foreach(tool qdb textmenu helptty)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY ${ORVIK_TOOLKIT_BUILD_DIR}/ DESTINATION ${ORVIK_INSTALL_DATADIR}
        PATTERN "*.qdb_new" EXCLUDE)
install(FILES README.md DESTINATION ${ORVIK_INSTALL_DOCDIR})
install(DIRECTORY data/menus/ DESTINATION ${ORVIK_INSTALL_DOCDIR}/examples)

# Manual pages and the changelog go compressed, as Debian wants them: gzip
# -9n, which keeps neither name nor time, so the same sources give the same
# bytes. The package is native (the project packages itself; its version has
# no Debian revision), so its changelog is changelog.gz. The copyright file
# is the license in Debian's machine-readable form.
set(ORVIK_PACKAGE_BUILD_DIR ${CMAKE_BINARY_DIR}/package)
set(packaged_docs)
function(orvik_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVIK_PACKAGE_BUILD_DIR}
    COMMAND sh -c "gzip -9n <\"$1\" >\"$2.new\" && mv \"$2.new\" \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(packaged_docs ${packaged_docs} ${output} PARENT_SCOPE)
endfunction()
foreach(page setup.8 qdb.1 textmenu.1 helptty.1)
  orvik_gzip(${CMAKE_SOURCE_DIR}/man/${page} ${ORVIK_PACKAGE_BUILD_DIR}/${page}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${ORVIK_PACKAGE_BUILD_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
orvik_gzip(${CMAKE_SOURCE_DIR}/deploy/debian/changelog ${ORVIK_PACKAGE_BUILD_DIR}/changelog.gz)
add_custom_target(packaged_docs ALL DEPENDS ${packaged_docs})
install(FILES ${ORVIK_PACKAGE_BUILD_DIR}/changelog.gz DESTINATION ${ORVIK_INSTALL_DOCDIR})

# LICENSE: a title, the copyright line, then the license's text.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" copyright_line "${license_text}")
if(NOT copyright_line)
  message(FATAL_ERROR "LICENSE names no copyright holder")
endif()
set(license_holders "${CMAKE_MATCH_1}")
string(FIND "${license_text}" "${copyright_line}" at)
string(LENGTH "${copyright_line}" length)
math(EXPR at "${at} + ${length}")
string(SUBSTRING "${license_text}" ${at} -1 license_body)
string(STRIP "${license_body}" license_body)
# Continuation lines start with a blank; an empty line is " .".
string(REGEX REPLACE "\n\n" "\n.\n" license_body "${license_body}")
string(REGEX REPLACE "\n" "\n " license_body "${license_body}")
file(WRITE ${ORVIK_PACKAGE_BUILD_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: orvik
Upstream-Contact: ${ORVIK_MAINTAINER}

Files: *
Copyright: ${license_holders}
License: Expat
 ${license_body}
")
install(FILES ${ORVIK_PACKAGE_BUILD_DIR}/copyright DESTINATION ${ORVIK_INSTALL_DOCDIR})
# lintian's checks that cannot apply to this package, each with its reason.
install(FILES deploy/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME orvik)

# Stripped (cpack, cmake --install --strip) as Debian strips: the compilers'
# notes go as well.
set(stripped_programs ${ORVIK_INSTALL_LIBEXECDIR}/setup)
foreach(tool qdb textmenu helptty)
  if(TARGET ${tool})
    list(APPEND stripped_programs ${CMAKE_INSTALL_BINDIR}/${tool})
  endif()
endforeach()
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ${stripped_programs})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_PACKAGE_NAME orvik)
set(CPACK_PACKAGE_VENDOR "Orvik")
set(CPACK_PACKAGE_CONTACT "${ORVIK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "text-mode installer of the Orvik print suite, with its toolkit")
set(CPACK_PACKAGE_DESCRIPTION
    "setup, run as root from an install site, checks space, users and running
programs, unpacks the suite's archive, puts its files in place as the package
list directs and writes the print subsystem's queue scripts; make-site builds
such a site. The toolkit's tools come along: qdb for the message databases,
textmenu for the text-mode menus and helptty, a terminal viewer of the help
pages.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package is built from an optimised tree; its programs go stripped.
set(CPACK_STRIP_FILES ON)
# The programs run system tools that setup finds on the search path: all but
# ps (procps) come with every Debian system (Essential packages, which a
# package does not name).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "procps")
include(CPack)
