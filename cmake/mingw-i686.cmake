# Toolchain of the cross build of the 32-bit Windows DLL with mingw-w64
# (Debian packages g++-mingw-w64-i686-posix / gcc-mingw-w64-i686-posix). The
# native build uses it for its external project <build>/win32
# (cmake/windows_dll.cmake); build the DLL with tools/test_windows.sh or
# `cmake --build build --target rudid_win32`.
#
# The -posix variant of the compiler is used: its C++ runtime has std::mutex,
# std::thread and std::call_once (the -win32 variant of GCC 12 has none of
# them). thread_local works in both through emulated TLS. The GCC, C++ and
# winpthreads runtimes are linked statically, so the DLL imports system DLLs
# only (KERNEL32.dll, msvcrt.dll). Exceptions are DWARF-2 unwinding inside
# the module; nothing C++ crosses the DLL boundary.
#
# On i686 GCC, long double is the x87 80-bit extended type (64-bit
# significand) and floating-point arithmetic uses the x87 unit; -mfpmath=387
# states it, and nothing here may enable -ffast-math or SSE math.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(RUDID_MINGW_PREFIX i686-w64-mingw32)
set(RUDID_MINGW_THREADS posix)

find_program(CMAKE_C_COMPILER NAMES ${RUDID_MINGW_PREFIX}-gcc-${RUDID_MINGW_THREADS} REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${RUDID_MINGW_PREFIX}-g++-${RUDID_MINGW_THREADS} REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${RUDID_MINGW_PREFIX}-windres)
find_program(CMAKE_OBJDUMP NAMES ${RUDID_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${RUDID_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "-march=i686 -mfpmath=387 -mlong-double-80")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mfpmath=387 -mlong-double-80")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine.
find_program(RUDID_WINE NAMES wine)
if(RUDID_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${RUDID_WINE})
endif()
