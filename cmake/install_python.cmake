# Installation of the Python package rudid32 into the prefix's Python path,
# with a record of where the installed library is, so that the package
# finds it without RUDID32_LIBRARY.
#
# The directory is decided when installing, from the prefix given then:
# the directory under the prefix that the Python interpreter searches when
# there is one (Debian's /usr/local/lib/python3.N/dist-packages for
# /usr/local), else the prefix's lib/python3.N/site-packages, for
# PYTHONPATH. RUDID_INSTALL_PYTHONDIR (relative to the prefix, or absolute)
# overrides it. Included from install.cmake.
find_program(RUDID_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH
             DOC "Python interpreter whose path the Python package is installed into")
set(RUDID_INSTALL_PYTHONDIR "" CACHE STRING
    "Where the Python package is installed, relative to the prefix (default: the prefix's Python path)")
if(NOT RUDID_PYTHON3 AND NOT RUDID_INSTALL_PYTHONDIR)
  message(STATUS "No python3: the Python package rudid32 is not installed")
  return()
endif()

file(GLOB RUDID_PYTHON_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/rudid32/*.py)
set(_rudid_install_python [=[
  set(_rudid_pythondir "@RUDID_INSTALL_PYTHONDIR@")
  if(NOT _rudid_pythondir)
    execute_process(
      COMMAND "@RUDID_PYTHON3@" -c [[
import os, sys, sysconfig
prefix = os.path.realpath(sys.argv[1])
searched = [p for p in sys.path if p.endswith("-packages")
            and os.path.realpath(p).startswith(os.path.join(prefix, "lib", ""))]
print(searched[0] if searched else
      sysconfig.get_path("purelib", "posix_prefix", vars={"base": prefix, "platbase": prefix}))
]] "${CMAKE_INSTALL_PREFIX}"
      OUTPUT_VARIABLE _rudid_pythondir OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
  elseif(NOT IS_ABSOLUTE "${_rudid_pythondir}")
    set(_rudid_pythondir "${CMAKE_INSTALL_PREFIX}/${_rudid_pythondir}")
  endif()
  set(_rudid_libdir "@CMAKE_INSTALL_LIBDIR@")
  if(NOT IS_ABSOLUTE "${_rudid_libdir}")
    set(_rudid_libdir "${CMAKE_INSTALL_PREFIX}/${_rudid_libdir}")
  endif()

  file(INSTALL DESTINATION "${_rudid_pythondir}/rudid32" TYPE FILE FILES @RUDID_PYTHON_SOURCES@)
  set(_rudid_location "$ENV{DESTDIR}${_rudid_pythondir}/rudid32/_location.py")
  message(STATUS "Installing: ${_rudid_location}")
  file(WRITE "${_rudid_location}"
       "# Where the library was installed with this package.\nLIBRARY = '${_rudid_libdir}/@RUDID_LIBRARY_SONAME@'\n")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_rudid_location}")
]=])
list(TRANSFORM RUDID_PYTHON_SOURCES REPLACE "(.+)" "\"\\1\"")
string(REPLACE ";" " " RUDID_PYTHON_SOURCES "${RUDID_PYTHON_SOURCES}")
string(CONFIGURE "${_rudid_install_python}" _rudid_install_python @ONLY)
install(CODE "${_rudid_install_python}")
