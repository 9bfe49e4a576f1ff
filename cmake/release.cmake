# Our own releases, made by CPack from the install rules below:
#   native tree: mediatool_<version>_<arch>.deb (the program, its man page,
#                its bash completion), as Debian users install tools;
#   win32 tree:  kelvra-setup-<version>-win32.zip (setup.exe, mediatool.exe
#                and the documentation).
# `cmake --build --preset native --target package` (or win32) writes them to
# <tree>/release/ with a SHA256SUMS of what it made. The version is
# project(VERSION) alone: the version resources and `mediatool -V` take it
# from there too.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS setup mediatool RUNTIME DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/mediatool.1 ${CMAKE_SOURCE_DIR}/docs/mediatool-json.md
                ${CMAKE_SOURCE_DIR}/docs/RELIABILITY.md DESTINATION docs)
  # The README's screenshots.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION docs)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kelvra-setup-${PROJECT_VERSION}-win32)
else()
  install(TARGETS mediatool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian keeps man pages compressed, without a time stamp in the header.
  set(man_page ${CMAKE_BINARY_DIR}/mediatool.1.gz)
  add_custom_command(OUTPUT ${man_page}
                     COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/mediatool.1 > ${man_page}
                     DEPENDS ${CMAKE_SOURCE_DIR}/docs/mediatool.1 VERBATIM)
  add_custom_target(mediatool_man ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/scripts/mediatool-completion.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME mediatool)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME mediatool)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_STRIP_FILES ON)
  # Signing and signature checks run these programs.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "osslsigncode, openssl")
endif()

set(CPACK_PACKAGE_NAME kelvra-setup)
set(CPACK_PACKAGE_VENDOR Kelvra)
set(CPACK_PACKAGE_CONTACT "Kelvra Setup developers <setup@kelvra.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepares, checks and signs Kelvra installation media")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/release)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/release-sums.cmake)
include(CPack)
