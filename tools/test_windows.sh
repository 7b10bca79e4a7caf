#!/usr/bin/env bash
# The 32-bit Windows DLL under Wine: installs the mingw-w64 cross compiler
# and Wine when missing, cross-builds RUDID32.dll and win_harness.exe into
# build/win32 through the native build, and runs the tests labelled
# "windows": the export table, the comparison with the Linux library bit for
# bit, and the Windows-only start-up and failure checks. The first run
# creates a Wine prefix in build/wineprefix (about 15 s, 600 MB).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_wine.sh
jobs=${RUDID_JOBS:-2}
generator=()
[[ -f build/CMakeCache.txt ]] || generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DRUDID_WINDOWS=ON >/dev/null
cmake --build build -j "$jobs" --target rudid_win32 linux_corpus RUDID32
(cd build && ctest --output-on-failure -L windows)
