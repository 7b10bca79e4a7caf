#!/usr/bin/env bash
# The Windows DLLs under Wine: installs the mingw-w64 cross compilers and
# Wine when missing, cross-builds RUDID32.dll, its test hosts and the tool
# rudid32.exe into build/win32 (32-bit) and build/win64 (64-bit) through
# the native build, and runs the tests labelled "windows" for both: the
# export table, the comparison with the Linux library bit for bit, the
# Windows-only start-up and failure checks, and rudid32.exe against the
# Linux tool (built too). The first run creates the Wine prefixes
# build/wineprefix (win32) and build/wineprefix64 (win64), about 15 s and
# 600 MB each.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_wine.sh
jobs=${RUDID_JOBS:-2}
generator=()
[[ -f build/CMakeCache.txt ]] || generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DRUDID_WINDOWS=ON >/dev/null
cmake --build build -j "$jobs" --target rudid_win32 rudid_win64 linux_corpus RUDID32 rudid32
(cd build && ctest --output-on-failure -L windows)
