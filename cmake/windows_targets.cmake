# The 32-bit Windows build, cross-compiled with cmake/mingw-i686.cmake:
# RUDID32.dll and its test host win_harness.exe. The top-level CMakeLists.txt
# includes this in place of the native targets when CMAKE_SYSTEM_NAME is
# Windows; it needs RUDID_CORE_SOURCES.

set(RUDID_WINDOWS_SOURCES
  src/platform/x87_arithmetic.cpp
  src/platform/windows/platform_windows.cpp
  src/platform/windows/dll_main.cpp
)

# The module-definition file fixes the exported names and ordinals; nothing
# else is exported. The runtimes are linked statically (toolchain file), so
# the DLL imports system DLLs only.
add_library(RUDID32 SHARED ${RUDID_CORE_SOURCES} ${RUDID_WINDOWS_SOURCES} src/api/RUDID32.def)
target_include_directories(RUDID32 PRIVATE src include)
set_target_properties(RUDID32 PROPERTIES
  PREFIX ""
  OUTPUT_NAME RUDID32
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_executable(win_harness tests/windows/win_harness.cpp)
target_include_directories(win_harness PRIVATE include src)
set_target_properties(win_harness PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
