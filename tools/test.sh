#!/usr/bin/env bash
# Builds RUDID32 and runs every test: the native build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and (when the Windows
# cross-build is enabled) the 32-bit DLL under Wine. Installs missing
# build dependencies first.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_dependencies.sh
jobs=${RUDID_JOBS:-2}

echo "== native build and tests" >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" -LE windows)

echo "== AddressSanitizer and UndefinedBehaviorSanitizer" >&2
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUDID_SANITIZE=ON \
  -DRUDID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" -L sanitize)

if [[ "${RUDID_WITH_WINDOWS:-1}" == 1 && -x tools/test_windows.sh ]]; then
  echo "== 32-bit Windows DLL under Wine" >&2
  tools/test_windows.sh
fi
