# Toolchain of the cross build of the 64-bit Windows DLL with mingw-w64
# (Debian packages g++-mingw-w64-x86-64-posix / gcc-mingw-w64-x86-64-posix).
# The native build uses it for its external project <build>/win64
# (cmake/windows_dll.cmake); build the DLL with tools/test_windows.sh or
# `cmake --build build --target rudid_win64`.
#
# As for the 32-bit DLL (cmake/mingw-i686.cmake): the -posix variant of the
# compiler, and the GCC, C++ and winpthreads runtimes linked statically, so
# the DLL imports system DLLs only. C++ exceptions unwind through the x64
# unwind tables (SEH); nothing C++ crosses the DLL boundary.
#
# On x86-64, GCC's long double for mingw-w64 is the x87 80-bit extended type
# (64-bit significand), as on x86-64 Linux, and the property arithmetic runs
# on the x87 unit; doubles travel in SSE registers, as the Windows x64
# calling convention requires. Nothing here may enable -ffast-math.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RUDID_MINGW_PREFIX x86_64-w64-mingw32)
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

set(CMAKE_C_FLAGS_INIT "-mlong-double-80")
set(CMAKE_CXX_FLAGS_INIT "-mlong-double-80")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine's 64-bit loader.
find_program(RUDID_WINE NAMES wine)
if(RUDID_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${RUDID_WINE})
endif()
