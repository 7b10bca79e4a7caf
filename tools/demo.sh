#!/usr/bin/env bash
# Builds the library and answers a few questions about water and steam from
# the shipped tables.
set -euo pipefail
cd "$(dirname "$0")/.."

RUDID_WITH_WINDOWS=0 tools/install_dependencies.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${RUDID_JOBS:-2}" --target steam_table_example >/dev/null
build/examples/steam_table_example
