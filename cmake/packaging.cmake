# The Debian package: cpack -G DEB in the build folder makes
# edi-station_<version>_amd64.deb with the programs in
# /opt/edi-station/system/bin (EDI.ini two folders up, in /opt/edi-station),
# the systemd units, a manual page per program and the package's documents.

set(EDI_PREFIX opt/edi-station/system/bin)
install(TARGETS edi-station edi-monitor edi-receive cii-tool z_tcp-standin edi-translator-standin
        RUNTIME DESTINATION ${EDI_PREFIX})
install(PROGRAMS ${CMAKE_BINARY_DIR}/apps/edi-jx-standin DESTINATION ${EDI_PREFIX})
file(GLOB EDI_UNITS ${CMAKE_SOURCE_DIR}/contrib/systemd/*.service ${CMAKE_SOURCE_DIR}/contrib/systemd/*.timer)
install(FILES ${EDI_UNITS} DESTINATION lib/systemd/system)

set(EDI_DOC usr/share/doc/edi-station)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                   COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${EDI_DOC})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION usr/share/lintian/overrides
        RENAME edi-station)

# A manual page per program, from its --help and --version.
set(EDI_MAN_PAGES)
find_program(HELP2MAN help2man)
set(EDI_PROGRAM_SUMMARIES
  "edi-station|set up an EDI receiving station and show what it holds"
  "edi-monitor|the operator window of the EDI receiving station"
  "edi-receive|receive, convert, register and back up the station's centres"
  "cii-tool|convert between CII, XML and the local fixed-length records"
  "z_tcp-standin|stand-in for the TCP file-transfer package, for tests and the demo"
  "edi-translator-standin|stand-in for the translator program, for tests and the demo"
  "edi-jx-standin|stand-in JX server, for tests and the demo")
if(HELP2MAN)
  foreach(entry ${EDI_PROGRAM_SUMMARIES})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 program)
    list(GET parts 1 summary)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section 1 --name "${summary}"
              --output ${CMAKE_BINARY_DIR}/man/${program}.1 ${CMAKE_BINARY_DIR}/apps/${program}
      COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${program}.1
      DEPENDS edi-station edi-monitor edi-receive cii-tool z_tcp-standin edi-translator-standin
              ${CMAKE_BINARY_DIR}/apps/edi-jx-standin
      VERBATIM)
    list(APPEND EDI_MAN_PAGES ${page})
  endforeach()
  install(FILES ${EDI_MAN_PAGES} DESTINATION usr/share/man/man1)
endif()
add_custom_target(package-files ALL DEPENDS ${EDI_MAN_PAGES} ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME edi-station)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "EDI Station Developers <edi-station@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "EDI receiving station for Japanese manufacturers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Receives the documents of trading centres (through a TCP file-transfer\n package, by mail, over JX/HTTPS or from a file), converts XML into the CII\n syntax and CII into fixed-length local records driven by format tables in\n the database, hands them to the translator that registers them, and keeps\n every step in its processing history. An operator window, a scheduled run\n and command-line tools share one SQLite or PostgreSQL database.")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, openssl")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "odbc-postgresql, qt6-translations-l10n, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
