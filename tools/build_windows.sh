#!/usr/bin/env bash
# Cross-builds RUDID32.dll and win_harness.exe for 32-bit Windows into
# build-win32/ (or the directory given), with mingw-w64 and the toolchain
# file cmake/mingw-i686.cmake.
#
#   tools/build_windows.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win32}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE="${RUDID_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j "${RUDID_JOBS:-2}"
ls -l "$build/RUDID32.dll" "$build/win_harness.exe"
