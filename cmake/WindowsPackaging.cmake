# The Windows installer (NSIS, orvix-VERSION-win64-setup.exe) and the portable zip
# (orvix-VERSION-win64.zip), made by scripts/package-windows.sh from the windows preset. Version
# and icon are the Debian package's: project() in the top CMakeLists.txt and app/orvix.ico.

# The README and the license as text beside the programs, which a double-click opens in
# Notepad; the pages the README links to in docs\ beside it, where its links lead.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${ORVIX_USER_DOCS} DESTINATION docs)

# The NSIS strings hold backslashes and NSIS variables; written as they stand, not re-read.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR "NSIS;ZIP")
# The packages hold the install folder itself, not the Debian package's /usr.
set(CPACK_PACKAGING_INSTALL_PREFIX "")
set(CPACK_PACKAGE_FILE_NAME "orvix-${PROJECT_VERSION}-win64")
# The installer's name differs from the zip's; CPack asks this file per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows/cpack-per-generator.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Orvix)
# One key for every version, so that a newer installer replaces the older one's entry.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Orvix)
set(CPACK_PACKAGE_EXECUTABLES orvix Orvix)
set(CPACK_CREATE_DESKTOP_LINKS orvix)

set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME orvix.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/orvix.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/orvix.ico)
set(CPACK_NSIS_DISPLAY_NAME Orvix)
# The installer's title and the Start-menu folder: without the version, so that an update keeps
# the same folder.
set(CPACK_NSIS_PACKAGE_NAME Orvix)
set(CPACK_NSIS_CONTACT ${ORVIX_MAINTAINER})
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for the 64-bit programs: it sees the 64-bit Program Files and registry as
# they are (a 32-bit one is redirected), and runs where Wine has no 32-bit part.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# The options page: PATH left alone unless the user picks otherwise; a silent install keeps
# the page's default.
set(CPACK_NSIS_MODIFY_PATH ON)
# The installed programs list shows the size only when told it (in KiB); section 0 holds every
# installed file.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "SectionGetSize 0 $0
  WriteRegDWORD SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}\" \"EstimatedSize\" $0")

# CMake's own installer script, changed where it does not fit: the PATH entry is the install
# folder itself, where the programs are (CMake's adds "bin"), and the uninstaller removes the
# publisher's registry key too once it is empty (CMake's leaves it behind).
set(_orvix_nsis_template ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
file(READ ${_orvix_nsis_template} _orvix_nsis)
set(_vendor_key "Software\\@CPACK_PACKAGE_VENDOR@")
set(_product_key "${_vendor_key}\\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@")
foreach(_change "Push $INSTDIR\\bin|Push $INSTDIR|2"
                "DeleteRegKey /ifempty SHCTX \"${_product_key}\"\n|DeleteRegKey /ifempty SHCTX \"${_product_key}\"\n  DeleteRegKey /ifempty SHCTX \"${_vendor_key}\"\n|1")
  string(REPLACE "|" ";" _change "${_change}")
  list(GET _change 0 _from)
  list(GET _change 1 _to)
  list(GET _change 2 _expected)
  string(REPLACE "${_from}" "" _without "${_orvix_nsis}")
  string(LENGTH "${_orvix_nsis}" _all)
  string(LENGTH "${_without}" _rest)
  string(LENGTH "${_from}" _one)
  math(EXPR _count "(${_all} - ${_rest}) / ${_one}")
  if(NOT _count EQUAL _expected)
    message(FATAL_ERROR "${_orvix_nsis_template} has ${_count} times '${_from}', not "
                        "${_expected}: cmake/WindowsPackaging.cmake must follow this CMake")
  endif()
  string(REPLACE "${_from}" "${_to}" _orvix_nsis "${_orvix_nsis}")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/cpack-templates/NSIS.template.in "${_orvix_nsis}")
set(CPACK_MODULE_PATH ${PROJECT_BINARY_DIR}/cpack-templates)
unset(_orvix_nsis)
unset(_orvix_nsis_template)
unset(_without)
unset(_vendor_key)
unset(_product_key)
