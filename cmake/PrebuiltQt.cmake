# A Windows cross build has no Qt of its own on Debian. When the team's prebuilt static Qt for
# mingw-w64 sits beside the repository, it is unpacked into the build folder (after its checksum
# is verified) and the front end is built against it; without it only the core is built. A
# developer with a Qt for mingw or MSVC of their own passes BUILD_GUI=ON and its location
# (CMAKE_PREFIX_PATH) instead, and this file does nothing.
set(LW_PREBUILT_QT_DIR "${PROJECT_SOURCE_DIR}/../shared/toolchains/qt6-mingw-static"
    CACHE PATH "Folder with the prebuilt static Qt for mingw-w64 and its SHA256SUMS")

if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
  return()
endif()
# Decided here on every configure unless the developer chose BUILD_GUI themselves.
if(DEFINED BUILD_GUI AND NOT LW_GUI_FROM_PREBUILT_QT)
  return()
endif()
set(LW_GUI_FROM_PREBUILT_QT ON CACHE INTERNAL "")

set(archive_name qt6-base-6.4.2-mingw-w64-static.tar.xz)
set(archive "${LW_PREBUILT_QT_DIR}/${archive_name}")
if(NOT EXISTS "${archive}")
  message(STATUS "No prebuilt Qt in ${LW_PREBUILT_QT_DIR}: building the core only, without the "
                 "front end and its tests")
  set(BUILD_GUI OFF CACHE BOOL "Build the Qt 6 front end (launchwright)" FORCE)
  return()
endif()

file(STRINGS "${LW_PREBUILT_QT_DIR}/SHA256SUMS" sums REGEX " [* ]?${archive_name}$")
string(REGEX MATCH "^[0-9a-f]+" expected "${sums}")
file(SHA256 "${archive}" actual)
if(NOT expected OR NOT actual STREQUAL expected)
  message(FATAL_ERROR "${archive}: checksum ${actual} does not match SHA256SUMS (${expected})")
endif()

set(qt_root "${CMAKE_BINARY_DIR}/qt6-mingw-static")
set(stamp "${CMAKE_BINARY_DIR}/qt6-mingw-static.sha256")
set(unpacked "")
if(EXISTS "${stamp}")
  file(READ "${stamp}" unpacked)
endif()
if(NOT unpacked STREQUAL actual)
  message(STATUS "Unpacking the prebuilt Qt into ${qt_root}")
  file(REMOVE_RECURSE "${qt_root}")
  file(ARCHIVE_EXTRACT INPUT "${archive}" DESTINATION "${CMAKE_BINARY_DIR}")
  file(WRITE "${stamp}" "${actual}")
endif()

# The front end needs these modules; a prebuilt Qt without one of them cannot build it.
foreach(module Widgets Test)
  if(NOT EXISTS "${qt_root}/lib/cmake/Qt6${module}")
    message(WARNING "The prebuilt Qt in ${LW_PREBUILT_QT_DIR} has no Qt ${module}, which the "
                    "front end needs: building the core only. Rebuild the archive with it.")
    set(BUILD_GUI OFF CACHE BOOL "Build the Qt 6 front end (launchwright)" FORCE)
    return()
  endif()
endforeach()

# What Qt's own toolchain file would add: the prefix as a search root (the mingw toolchain
# searches packages only under its roots) and the host tools of Debian's qt6-base-dev-tools.
list(PREPEND CMAKE_FIND_ROOT_PATH "${qt_root}")
list(PREPEND CMAKE_PREFIX_PATH "${qt_root}/lib/cmake")
set(QT_HOST_PATH /usr CACHE PATH "Host Qt with moc, uic and rcc")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake files")
set(BUILD_GUI ON CACHE BOOL "Build the Qt 6 front end (launchwright)" FORCE)
