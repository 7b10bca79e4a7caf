# The 32-bit Windows DLL from the native build: a cross build of RUDID32.dll
# and win_harness.exe into <build>/win32 (cmake/mingw-i686.cmake), the Linux
# counterpart of the harness, and the tests that run the DLL under Wine
# (label "windows", when RUDID_BUILD_TESTS is on). Included at the end of the
# top-level CMakeLists.txt.
#
# On by default when the mingw-w64 cross compiler (-posix variant), its
# objdump and Wine are installed (tools/install_wine.sh), except in the
# sanitizer build.

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
target_include_directories(linux_corpus PRIVATE include src)
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
# One Wine prefix for the build; the tests take turns with its ZAREVIRU.INI.
set_tests_properties(windows_export_table windows_dll_matches_linux_library
                     windows_startup_and_failures PROPERTIES
                     LABELS windows
                     ENVIRONMENT RUDID_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
                     RESOURCE_LOCK rudid_wineprefix
                     TIMEOUT 900)
