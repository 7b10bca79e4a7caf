# The 32-bit Windows DLL, built one way: the native build cross-builds
# RUDID32.dll and its test host win_harness.exe into <build>/win32 as an
# external project with the toolchain file cmake/mingw-i686.cmake, builds the
# Linux counterpart of the harness, and registers the tests that run the DLL
# under Wine (label "windows", when RUDID_BUILD_TESTS is on).
# tools/test_windows.sh does all of it.
#
# The top-level CMakeLists.txt includes this file twice: in the cross build
# (CMAKE_SYSTEM_NAME Windows) in place of the native targets, where it defines
# the DLL and the harness, and at the end of the native build, where it
# drives the cross build.
#
# On by default when the mingw-w64 cross compiler (-posix variant), its
# objdump and Wine are installed (tools/install_wine.sh), except in the
# sanitizer build.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  include(cmake/property_functions.cmake)
  set(RUDID_WINDOWS_SOURCES
    src/platform/x87_arithmetic.cpp
    src/platform/windows/platform_windows.cpp
    src/platform/windows/dll_main.cpp
  )

  # The module-definition file fixes the exported names and ordinals;
  # nothing else is exported. The property functions' lines come from the
  # list in the public header.
  rudid_property_functions(_rudid_names _rudid_ordinals)
  set(RUDID_PROPERTY_FUNCTION_EXPORTS "")
  foreach(_name _ordinal IN ZIP_LISTS _rudid_names _rudid_ordinals)
    string(APPEND RUDID_PROPERTY_FUNCTION_EXPORTS "    ${_name} @${_ordinal}\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" RUDID_PROPERTY_FUNCTION_EXPORTS "${RUDID_PROPERTY_FUNCTION_EXPORTS}")
  configure_file(src/api/RUDID32.def.in ${CMAKE_BINARY_DIR}/RUDID32.def @ONLY)

  # The runtimes are linked statically (toolchain file), so the DLL imports
  # system DLLs only.
  add_library(RUDID32 SHARED ${RUDID_CORE_SOURCES} ${RUDID_WINDOWS_SOURCES} ${CMAKE_BINARY_DIR}/RUDID32.def)
  target_include_directories(RUDID32 PRIVATE src include)
  target_link_libraries(RUDID32 PRIVATE rudid_strict_fp)
  set_target_properties(RUDID32 PROPERTIES
    PREFIX ""
    OUTPUT_NAME RUDID32
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  add_executable(win_harness tests/windows/win_harness.cpp)
  target_include_directories(win_harness PRIVATE include src tests)
  set_target_properties(win_harness PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  return()
endif()

find_program(RUDID_MINGW_CXX i686-w64-mingw32-g++-posix)
find_program(RUDID_MINGW_OBJDUMP i686-w64-mingw32-objdump)
find_program(RUDID_WINE_PROGRAM wine)
set(_rudid_windows_default OFF)
if(RUDID_MINGW_CXX AND RUDID_MINGW_OBJDUMP AND RUDID_WINE_PROGRAM AND NOT RUDID_SANITIZE)
  set(_rudid_windows_default ON)
endif()
option(RUDID_WINDOWS "Cross-build RUDID32.dll with mingw-w64 and test it under Wine" ${_rudid_windows_default})
if(NOT RUDID_WINDOWS)
  return()
endif()
if(NOT RUDID_MINGW_CXX OR NOT RUDID_MINGW_OBJDUMP OR NOT RUDID_WINE_PROGRAM)
  message(FATAL_ERROR "RUDID_WINDOWS needs i686-w64-mingw32-g++-posix, i686-w64-mingw32-objdump "
                      "and wine: run tools/install_wine.sh")
endif()

include(ExternalProject)
set(RUDID_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
set(RUDID_WINDOWS_JOBS 2 CACHE STRING "Parallel jobs of the Windows cross build")
ExternalProject_Add(rudid_win32
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${RUDID_WIN32_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${RUDID_WIN32_DIR} -j ${RUDID_WINDOWS_JOBS}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${RUDID_WIN32_DIR}/RUDID32.dll ${RUDID_WIN32_DIR}/win_harness.exe)

if(NOT RUDID_BUILD_TESTS)
  return()
endif()

find_package(Threads REQUIRED)
add_executable(linux_corpus tests/windows/linux_corpus.cpp)
target_include_directories(linux_corpus PRIVATE include src tests)
target_link_libraries(linux_corpus PRIVATE ${CMAKE_DL_LIBS} Threads::Threads)

set(_rudid_windows_tests ${PROJECT_SOURCE_DIR}/tests/windows)
add_test(NAME windows_export_table
         COMMAND bash ${_rudid_windows_tests}/check_exports.sh ${RUDID_MINGW_OBJDUMP}
                 ${RUDID_WIN32_DIR}/RUDID32.dll)
add_test(NAME windows_dll_matches_linux_library
         COMMAND bash ${_rudid_windows_tests}/compare_with_linux.sh
                 ${RUDID_WIN32_DIR}/RUDID32.dll ${RUDID_WIN32_DIR}/win_harness.exe
                 $<TARGET_FILE:linux_corpus> $<TARGET_FILE:RUDID32>
                 ${_rudid_windows_tests}/corpus.txt ${PROJECT_SOURCE_DIR}/data)
add_test(NAME windows_startup_and_failures
         COMMAND bash ${_rudid_windows_tests}/wine_checks.sh
                 ${RUDID_WIN32_DIR}/RUDID32.dll ${RUDID_WIN32_DIR}/win_harness.exe
                 ${PROJECT_SOURCE_DIR}/data)
# The machine code of the property functions and of the helpers that take
# or return doubles: no x87 instruction before the library's control word
# is in force.
include(cmake/property_functions.cmake)
rudid_property_functions(_rudid_names _rudid_ordinals)
find_program(RUDID_PYTHON_FOR_WINDOWS_TESTS NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME windows_wrappers_touch_no_fpu_before_the_control_word
         COMMAND ${RUDID_PYTHON_FOR_WINDOWS_TESTS} ${_rudid_windows_tests}/check_wrapper_fpu.py
                 ${RUDID_MINGW_OBJDUMP} ${RUDID_WIN32_DIR}/RUDID32.dll ${_rudid_names}
                 RudidRangeCode RudidStateFlags RudidToConfiguredUnit RudidFromConfiguredUnit
                 RudidRangeMessage RudidEvaluate)
set_tests_properties(windows_wrappers_touch_no_fpu_before_the_control_word PROPERTIES LABELS windows)
# One Wine prefix for the build; the tests take turns with its ZAREVIRU.INI.
set_tests_properties(windows_export_table windows_dll_matches_linux_library
                     windows_startup_and_failures PROPERTIES
                     LABELS windows
                     ENVIRONMENT RUDID_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
                     RESOURCE_LOCK rudid_wineprefix
                     TIMEOUT 900)
