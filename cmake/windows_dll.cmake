# The Windows DLLs, built one way: the native build cross-builds RUDID32.dll,
# its test hosts and the command-line tool rudid32.exe twice, as external
# projects: 32-bit into <build>/win32 with the toolchain file
# cmake/mingw-i686.cmake, 64-bit into <build>/win64 with
# cmake/mingw-x86_64.cmake. It builds the Linux
# counterpart of the harness and registers the tests that run each DLL
# under Wine (label "windows", when RUDID_BUILD_TESTS is on).
# tools/test_windows.sh does all of it.
#
# The top-level CMakeLists.txt includes this file twice: in the cross build
# (CMAKE_SYSTEM_NAME Windows) in place of the native targets, where it defines
# the DLL and the harness, and at the end of the native build, where it
# drives the cross build.
#
# On by default when the mingw-w64 cross compilers for i686 and x86-64
# (-posix variant), their objdump and Wine are installed (tools/install_wine.sh), except in the
# sanitizer builds (AddressSanitizer and ThreadSanitizer).

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
  rudid_property_functions(_rudid_names _rudid_ordinals _rudid_arities)
  set(RUDID_PROPERTY_FUNCTION_EXPORTS "")
  foreach(_name _ordinal IN ZIP_LISTS _rudid_names _rudid_ordinals)
    string(APPEND RUDID_PROPERTY_FUNCTION_EXPORTS "    ${_name} @${_ordinal}\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" RUDID_PROPERTY_FUNCTION_EXPORTS "${RUDID_PROPERTY_FUNCTION_EXPORTS}")
  # The twins for Visual Basic, RudidVb<name>, on ordinal 100 + the
  # function's (101..123 for the first 23, 301 up for the later ones). On i686 a __stdcall symbol carries the size of its arguments
  # (RudidVbAQPPTH@20: two doubles and a pointer); the export name drops it,
  # as VBA's Declare asks for the plain name.
  set(RUDID_VB_FUNCTION_EXPORTS "")
  foreach(_name _ordinal _arity IN ZIP_LISTS _rudid_names _rudid_ordinals _rudid_arities)
    math(EXPR _vb_ordinal "100 + ${_ordinal}")
    math(EXPR _vb_bytes "8 * ${_arity} + 4")
    set(_internal "")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      set(_internal " = RudidVb${_name}@${_vb_bytes}")
    endif()
    string(APPEND RUDID_VB_FUNCTION_EXPORTS "    RudidVb${_name}${_internal} @${_vb_ordinal}\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" RUDID_VB_FUNCTION_EXPORTS "${RUDID_VB_FUNCTION_EXPORTS}")
  set(RUDID_VB_MESSAGE_EXPORT "    RudidVbMessage @100")
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(RUDID_VB_MESSAGE_EXPORT "    RudidVbMessage = RudidVbMessage@16 @100")
  endif()
  # The context calls for Visual Basic, with the bytes of their arguments
  # for the i686 decoration: pointers and ints 4, doubles 8.
  set(RUDID_VB_CONTEXT_EXPORTS "")
  foreach(_entry RudidVbOpen:130:12 RudidVbClose:131:4 RudidVbContextEvaluate:132:32
                 RudidVbContextFlags:133:28 RudidVbContextMessage:134:20 RudidVbSolveState:135:36
                 RudidVbContextProperty:136:36)
    string(REPLACE ":" ";" _fields "${_entry}")
    list(GET _fields 0 _name)
    list(GET _fields 1 _ordinal)
    list(GET _fields 2 _bytes)
    set(_internal "")
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      set(_internal " = ${_name}@${_bytes}")
    endif()
    string(APPEND RUDID_VB_CONTEXT_EXPORTS "    ${_name}${_internal} @${_ordinal}\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" RUDID_VB_CONTEXT_EXPORTS "${RUDID_VB_CONTEXT_EXPORTS}")
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

  # Calls the Visual Basic twins as the Declare lines of the VBA module do.
  add_executable(vba_harness tests/windows/vba_harness.cpp)
  target_include_directories(vba_harness PRIVATE include src tests)
  set_target_properties(vba_harness PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # The command-line tool, rudid32.exe beside the DLL, linked with its
  # import library. CLI11 is header-only: the compiler sees the build
  # machine's CLI/ through a folder that holds nothing else, not the rest of
  # its /usr/include.
  find_path(RUDID_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH)
  if(NOT RUDID_CLI11_INCLUDE_DIR)
    message(FATAL_ERROR "rudid32.exe needs CLI11's headers (Debian package libcli11-dev)")
  endif()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
  file(CREATE_LINK ${RUDID_CLI11_INCLUDE_DIR}/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)
  add_library(rudid_cli11 INTERFACE)
  target_include_directories(rudid_cli11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/cli11)
  add_library(CLI11::CLI11 ALIAS rudid_cli11)
  add_subdirectory(cli)
  return()
endif()

# The two DLLs: win32 (i686, PE32) and win64 (x86-64, PE32+). Both are
# called RUDID32.dll: a host that loads "RUDID32.dll" finds the one of its
# own bitness in its own folder, as Windows keeps 32- and 64-bit DLLs of one
# name apart by folder (System32 and SysWOW64 do the same).
find_program(RUDID_MINGW_CXX i686-w64-mingw32-g++-posix)
find_program(RUDID_MINGW_OBJDUMP i686-w64-mingw32-objdump)
find_program(RUDID_MINGW64_CXX x86_64-w64-mingw32-g++-posix)
find_program(RUDID_MINGW64_OBJDUMP x86_64-w64-mingw32-objdump)
find_program(RUDID_WINE_PROGRAM wine)
set(_rudid_windows_default OFF)
if(RUDID_MINGW_CXX AND RUDID_MINGW_OBJDUMP AND RUDID_MINGW64_CXX AND RUDID_MINGW64_OBJDUMP
   AND RUDID_WINE_PROGRAM AND NOT RUDID_SANITIZE AND NOT RUDID_SANITIZE_THREAD)
  set(_rudid_windows_default ON)
endif()
option(RUDID_WINDOWS "Cross-build the 32- and 64-bit RUDID32.dll with mingw-w64 and test them under Wine"
       ${_rudid_windows_default})
if(NOT RUDID_WINDOWS)
  return()
endif()
# The Windows tests compare the DLLs with linux_corpus, which the sanitizer
# builds leave out; a build directory configured before a sanitizer was
# turned on may still hold RUDID_WINDOWS=ON.
if(RUDID_SANITIZE OR RUDID_SANITIZE_THREAD)
  message(STATUS "RUDID_WINDOWS is ignored in a sanitizer build")
  return()
endif()
if(NOT RUDID_MINGW_CXX OR NOT RUDID_MINGW_OBJDUMP OR NOT RUDID_MINGW64_CXX OR NOT RUDID_MINGW64_OBJDUMP
   OR NOT RUDID_WINE_PROGRAM)
  message(FATAL_ERROR "RUDID_WINDOWS needs i686-w64-mingw32-g++-posix, x86_64-w64-mingw32-g++-posix, "
                      "their objdump and wine: run tools/install_wine.sh")
endif()

include(ExternalProject)
set(RUDID_WINDOWS_JOBS 2 CACHE STRING "Parallel jobs of the Windows cross builds")
foreach(_bits 32 64)
  if(_bits EQUAL 32)
    set(_toolchain mingw-i686.cmake)
  else()
    set(_toolchain mingw-x86_64.cmake)
  endif()
  set(RUDID_WIN${_bits}_DIR ${CMAKE_BINARY_DIR}/win${_bits})
  ExternalProject_Add(rudid_win${_bits}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${RUDID_WIN${_bits}_DIR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${_toolchain}
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${RUDID_WIN${_bits}_DIR} -j ${RUDID_WINDOWS_JOBS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${RUDID_WIN${_bits}_DIR}/RUDID32.dll ${RUDID_WIN${_bits}_DIR}/win_harness.exe
                     ${RUDID_WIN${_bits}_DIR}/vba_harness.exe ${RUDID_WIN${_bits}_DIR}/rudid32.exe)
endforeach()

# build/RUDID32-windows.zip: both DLLs with an INI beside each, the tables
# and default.cfg, the VBA module, the Pascal unit and a README, for a user
# who unpacks it anywhere (tools/make_windows_bundle.py; docs/windows.md).
find_program(RUDID_PYTHON_FOR_BUNDLE NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(RUDID_WINDOWS_BUNDLE ${CMAKE_BINARY_DIR}/RUDID32-windows.zip)
add_custom_target(windows_bundle
  COMMAND ${RUDID_PYTHON_FOR_BUNDLE} ${PROJECT_SOURCE_DIR}/tools/make_windows_bundle.py ${PROJECT_SOURCE_DIR}
          ${RUDID_WIN32_DIR}/RUDID32.dll ${RUDID_WIN64_DIR}/RUDID32.dll ${RUDID_WINDOWS_BUNDLE}
  BYPRODUCTS ${RUDID_WINDOWS_BUNDLE}
  COMMENT "Packing ${RUDID_WINDOWS_BUNDLE}"
  VERBATIM)
add_dependencies(windows_bundle rudid_win32 rudid_win64)

if(NOT RUDID_BUILD_TESTS)
  return()
endif()

# linux_corpus, the Linux side of the comparisons, comes from tests/.
include(cmake/property_functions.cmake)
rudid_property_functions(_rudid_names _rudid_ordinals)
list(TRANSFORM _rudid_names PREPEND RudidVb OUTPUT_VARIABLE _rudid_vb_names)
find_program(RUDID_PYTHON_FOR_WINDOWS_TESTS NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(_rudid_windows_tests ${PROJECT_SOURCE_DIR}/tests/windows)

# The same tests for both DLLs: windows_* for the 32-bit one under a win32
# Wine prefix, windows64_* for the 64-bit one under a win64 prefix. Each
# prefix has its own lock: the tests of one prefix take turns with its
# ZAREVIRU.INI.
foreach(_bits 32 64)
  set(_dir ${RUDID_WIN${_bits}_DIR})
  if(_bits EQUAL 32)
    set(_prefix windows)
    set(_objdump ${RUDID_MINGW_OBJDUMP})
    set(_format pei-i386)
    set(_wine_env RUDID_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix RUDID_WINEARCH=win32)
  else()
    set(_prefix windows64)
    set(_objdump ${RUDID_MINGW64_OBJDUMP})
    set(_format pei-x86-64)
    set(_wine_env RUDID_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix64 RUDID_WINEARCH=win64)
  endif()
  add_test(NAME ${_prefix}_export_table
           COMMAND bash ${_rudid_windows_tests}/check_exports.sh ${_objdump} ${_dir}/RUDID32.dll ${_format})
  add_test(NAME ${_prefix}_dll_matches_linux_library
           COMMAND bash ${_rudid_windows_tests}/compare_with_linux.sh
                   ${_dir}/RUDID32.dll ${_dir}/win_harness.exe
                   $<TARGET_FILE:linux_corpus> $<TARGET_FILE:RUDID32>
                   ${_rudid_windows_tests}/corpus.txt ${PROJECT_SOURCE_DIR}/data)
  add_test(NAME ${_prefix}_startup_and_failures
           COMMAND bash ${_rudid_windows_tests}/wine_checks.sh
                   ${_dir}/RUDID32.dll ${_dir}/win_harness.exe
                   ${PROJECT_SOURCE_DIR}/data ${_dir}/vba_harness.exe)
  # The Visual Basic twins, called as the VBA module's Declare lines call
  # them: the same bits as the Linux library on the corpus, the stack and
  # the host's control words intact.
  add_test(NAME ${_prefix}_vba_calls_match_linux_library
           COMMAND bash ${_rudid_windows_tests}/compare_with_linux.sh
                   ${_dir}/RUDID32.dll ${_dir}/vba_harness.exe
                   $<TARGET_FILE:linux_corpus> $<TARGET_FILE:RUDID32>
                   ${_rudid_windows_tests}/corpus.txt ${PROJECT_SOURCE_DIR}/data)
  # The machine code of the property functions, their twins and the
  # helpers that take or return doubles: no x87 instruction before the
  # library's control word is in force.
  add_test(NAME ${_prefix}_wrappers_touch_no_fpu_before_the_control_word
           COMMAND ${RUDID_PYTHON_FOR_WINDOWS_TESTS} ${_rudid_windows_tests}/check_wrapper_fpu.py
                   ${_objdump} ${_dir}/RUDID32.dll ${_rudid_names} ${_rudid_vb_names}
                   RudidRangeCode RudidStateFlags RudidToConfiguredUnit RudidFromConfiguredUnit
                   RudidRangeMessage RudidEvaluate RudidVbContextEvaluate RudidVbContextFlags
                   RudidVbSolveState RudidVbContextProperty RudidSolveProperties RudidContextProperty)
  set_tests_properties(${_prefix}_wrappers_touch_no_fpu_before_the_control_word PROPERTIES LABELS windows)
  # rudid32.exe against the Linux tool: calls, state, batch, the unit
  # listing, units set and units set --user.
  add_test(NAME ${_prefix}_tool_matches_linux_tool
           COMMAND bash ${_rudid_windows_tests}/tool_checks.sh ${_dir} $<TARGET_FILE:rudid32>
                   ${PROJECT_SOURCE_DIR}/data)
  set_tests_properties(${_prefix}_export_table ${_prefix}_dll_matches_linux_library
                       ${_prefix}_startup_and_failures ${_prefix}_vba_calls_match_linux_library
                       ${_prefix}_tool_matches_linux_tool PROPERTIES
                       LABELS windows
                       ENVIRONMENT "${_wine_env}"
                       RESOURCE_LOCK rudid_${_prefix}_wineprefix
                       TIMEOUT 900)
endforeach()

# The windows_bundle target builds, its zip holds what the README names,
# and the 32-bit DLL unpacked from it finds its tables through the INI
# beside it, under Wine.
add_test(NAME windows_bundle_unpacks_and_answers
         COMMAND bash ${_rudid_windows_tests}/check_bundle.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR}
                 ${RUDID_WINDOWS_BUNDLE} ${RUDID_WIN32_DIR} ${RUDID_WIN64_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(windows_bundle_unpacks_and_answers PROPERTIES
                     LABELS windows
                     ENVIRONMENT "RUDID_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;RUDID_WINEARCH=win32"
                     RESOURCE_LOCK "rudid_windows_wineprefix;rudid_windows64_wineprefix"
                     TIMEOUT 900)
