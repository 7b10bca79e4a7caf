# Installation: the library with its header, the rudid32 tool, the tables
# and default.cfg in <datadir>/rudid32, a ZAREVIRU.INI beside the library
# naming that data directory, and the files by which CMake
# (find_package(RUDID32), target RUDID32::RUDID32) and pkg-config (rudid32)
# find the library.
#
# The library looks for ZAREVIRU.INI in the directory it was loaded from, so
# the INI is written when installing, with the prefix given then
# (cmake --install --prefix), and DESTDIR staging is honoured.
#
# Laid out for the Linux shared library.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RUDID_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/rudid32")
set(RUDID_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/RUDID32")
set(RUDID_STAGING_DIR "${CMAKE_BINARY_DIR}/rudid32-install")

install(TARGETS RUDID32 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/rudid32.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET rudid32)
  install(TARGETS rudid32 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES
    ${PROJECT_SOURCE_DIR}/data/zarude.dat
    ${PROJECT_SOURCE_DIR}/data/vevuzu.dat
    ${PROJECT_SOURCE_DIR}/data/didizar.dat
  DESTINATION ${RUDID_INSTALL_DATADIR})
# The Pascal unit, a source unit that programs compile with
# fpc -Fu<prefix>/share/rudid32/pascal (docs/pascal.md).
install(FILES ${PROJECT_SOURCE_DIR}/pascal/rudid32.pas DESTINATION ${RUDID_INSTALL_DATADIR}/pascal)

# CMake package: an imported target for the installed library, found
# relative to the package file wherever the installation is moved.
get_target_property(_rudid_version RUDID32 VERSION)
get_target_property(_rudid_soversion RUDID32 SOVERSION)
set(RUDID_LIBRARY_FILE "${CMAKE_SHARED_LIBRARY_PREFIX}RUDID32${CMAKE_SHARED_LIBRARY_SUFFIX}")
set(RUDID_LIBRARY_SONAME "${RUDID_LIBRARY_FILE}")
if(_rudid_soversion)
  set(RUDID_LIBRARY_SONAME "${RUDID_LIBRARY_FILE}.${_rudid_soversion}")
endif()
if(_rudid_version)
  set(RUDID_LIBRARY_FILE "${RUDID_LIBRARY_FILE}.${_rudid_version}")
endif()
if(TARGET rudid32)
  set(RUDID_HAS_TOOL TRUE)
else()
  set(RUDID_HAS_TOOL FALSE)
endif()
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/RUDID32Config.cmake.in
  ${RUDID_STAGING_DIR}/RUDID32Config.cmake
  INSTALL_DESTINATION ${RUDID_INSTALL_CMAKEDIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR RUDID_INSTALL_DATADIR)
write_basic_package_version_file(
  ${RUDID_STAGING_DIR}/RUDID32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
# find_package(rudid32), in the case of the pkg-config name, finds the
# same package: CMake matches the directory without regard to case, and
# these two files by their lower-case names.
file(WRITE ${RUDID_STAGING_DIR}/rudid32-config.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/RUDID32Config.cmake\")\nset(rudid32_DATA_DIR \"\${RUDID32_DATA_DIR}\")\n")
file(WRITE ${RUDID_STAGING_DIR}/rudid32-config-version.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/RUDID32ConfigVersion.cmake\")\n")
install(FILES
    ${RUDID_STAGING_DIR}/RUDID32Config.cmake
    ${RUDID_STAGING_DIR}/RUDID32ConfigVersion.cmake
    ${RUDID_STAGING_DIR}/rudid32-config.cmake
    ${RUDID_STAGING_DIR}/rudid32-config-version.cmake
  DESTINATION ${RUDID_INSTALL_CMAKEDIR})

# pkg-config file: everything but the prefix is known now; the prefix is
# filled in when installing.
set(RUDID_INSTALL_PREFIX "@RUDID_INSTALL_PREFIX@")
function(_rudid_pc_directory variable directory)
  if(IS_ABSOLUTE "${directory}")
    set(${variable} "${directory}" PARENT_SCOPE)
  else()
    set(${variable} "\${prefix}/${directory}" PARENT_SCOPE)
  endif()
endfunction()
_rudid_pc_directory(RUDID_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
_rudid_pc_directory(RUDID_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
_rudid_pc_directory(RUDID_PC_DATADIR "${RUDID_INSTALL_DATADIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/rudid32.pc.in ${RUDID_STAGING_DIR}/rudid32.pc.in @ONLY)

set(_rudid_install_time [=[
  set(_rudid_libdir "@CMAKE_INSTALL_LIBDIR@")
  set(_rudid_datadir "@RUDID_INSTALL_DATADIR@")
  foreach(_rudid_dir _rudid_libdir _rudid_datadir)
    if(NOT IS_ABSOLUTE "${${_rudid_dir}}")
      set(${_rudid_dir} "${CMAKE_INSTALL_PREFIX}/${${_rudid_dir}}")
    endif()
  endforeach()

  # ZAREVIRU.INI beside the library, naming the installed data directory.
  set(_rudid_ini "$ENV{DESTDIR}${_rudid_libdir}/ZAREVIRU.INI")
  message(STATUS "Installing: ${_rudid_ini}")
  file(WRITE "${_rudid_ini}" "[STARTUP]\nDIR=${_rudid_datadir}\n")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_rudid_ini}")

  # default.cfg holds the user's choice of units: an installation over an
  # earlier one keeps it.
  if(EXISTS "$ENV{DESTDIR}${_rudid_datadir}/default.cfg")
    message(STATUS "Keeping: $ENV{DESTDIR}${_rudid_datadir}/default.cfg")
  else()
    file(INSTALL DESTINATION "${_rudid_datadir}" TYPE FILE FILES "@PROJECT_SOURCE_DIR@/data/default.cfg")
  endif()

  set(RUDID_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
  configure_file("@RUDID_STAGING_DIR@/rudid32.pc.in" "@RUDID_STAGING_DIR@/rudid32.pc" @ONLY)
  file(INSTALL DESTINATION "${_rudid_libdir}/pkgconfig" TYPE FILE FILES "@RUDID_STAGING_DIR@/rudid32.pc")
]=])
string(CONFIGURE "${_rudid_install_time}" _rudid_install_time @ONLY)
install(CODE "${_rudid_install_time}")

include(${CMAKE_CURRENT_LIST_DIR}/install_python.cmake)
