# The window program in the cross build for Windows. Debian ships no Qt for MinGW:
# scripts/windows-qt.sh builds a static one into a cache folder, which is looked for here when
# neither ORVIX_WINDOWS_QT nor CMAKE_PREFIX_PATH names another. Without one, orvix.exe is left out
# and the rest of the cross build goes on (ORVIX_GUI is turned off).
set(ORVIX_WINDOWS_QT "" CACHE PATH
    "Static Qt 6 for Windows (MinGW-w64) to build orvix.exe with; empty: the windows-qt.sh cache")
# That Qt runs the host's moc, uic and rcc: Debian's, of the same version.
set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host Qt whose tools the Windows Qt uses")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH
    "CMake folder of the host Qt")

set(_orvix_qt_prefixes ${ORVIX_WINDOWS_QT} ${CMAKE_PREFIX_PATH})
if(NOT _orvix_qt_prefixes)
  if(NOT "$ENV{ORVIX_CACHE}" STREQUAL "")
    set(_orvix_cache "$ENV{ORVIX_CACHE}")
  else()
    set(_orvix_cache "$ENV{HOME}/.cache/orvix")
  endif()
  # The stamp is written last: without it the cache is a build that did not finish.
  if(EXISTS "${_orvix_cache}/qt-6.4.2-mingw64/orvix-qt.stamp")
    set(_orvix_qt_prefixes "${_orvix_cache}/qt-6.4.2-mingw64")
  endif()
endif()

# The toolchain's find root hides every folder outside the MinGW root; the Qt prefixes join it.
list(PREPEND CMAKE_FIND_ROOT_PATH ${_orvix_qt_prefixes})
list(PREPEND CMAKE_PREFIX_PATH ${ORVIX_WINDOWS_QT})
find_package(Qt6 QUIET COMPONENTS Widgets)
if(NOT Qt6Widgets_FOUND)
  message(STATUS "orvix.exe is left out: no Qt 6 for Windows found (scripts/windows-qt.sh "
                 "builds one; -DORVIX_WINDOWS_QT=PREFIX names another)")
  set(ORVIX_GUI OFF)
elseif(NOT QT6_IS_SHARED_LIBS_BUILD AND NOT TARGET Qt6::QWindowsIntegrationPlugin)
  message(FATAL_ERROR "The Qt in ${Qt6_DIR} has no windows platform plugin")
else()
  message(STATUS "orvix.exe is built with the Qt in ${Qt6_DIR}")
endif()
unset(_orvix_qt_prefixes)
unset(_orvix_cache)
