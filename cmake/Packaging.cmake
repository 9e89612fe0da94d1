# The Debian package (scripts/package.sh runs cpack -G DEB) and the files every install carries;
# the Windows packages in WindowsPackaging.cmake.
# The version is the project's own (project() in the top CMakeLists.txt), which --version prints.
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/json-output.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Under Debian's name for it, which lintian looks for.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
endif()
# The users' pages the README links to, where its links lead (docs/ beside it), on Windows too.
set(ORVIX_USER_DOCS ${PROJECT_SOURCE_DIR}/docs/flasher.md ${PROJECT_SOURCE_DIR}/docs/window.md
                    ${PROJECT_SOURCE_DIR}/docs/images.md ${PROJECT_SOURCE_DIR}/docs/protocol.md
                    ${PROJECT_SOURCE_DIR}/docs/json-output.md)
if(NOT WIN32)
  install(FILES ${ORVIX_USER_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
endif()

set(ORVIX_MAINTAINER "Orvix developers <orvix@example.org>"
    CACHE STRING "The package's Maintainer field")

# Debian's changelog, compressed as Debian keeps it; its entry takes the project's version.
if(NOT WIN32)
  find_program(GZIP gzip REQUIRED)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP} -9nkf ${PROJECT_BINARY_DIR}/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/changelog
    VERBATIM)
  add_custom_target(orvix_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME orvix)
set(CPACK_PACKAGE_VENDOR "Orvix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVIX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "programmer writing firmware into a microcontroller over a serial line")
set(CPACK_PACKAGE_INSTALL_DIRECTORY orvix)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVIX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orvix writes a binary image into a microcontroller attached to a serial (COM)
port. It finds the device by pinging every serial port at once, writes the
image in acknowledged 128-byte blocks and has the device confirm a 16-bit
checksum.
.
The package holds the Russian-language window program orvix, the command-line
flasher orvix-flash for scripts, and the device simulator orvix-devsim, which
plays the device on a pseudo-terminal so that the programmer can be tried
without hardware.")
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
endif()
include(CPack)
