#!/usr/bin/env bash
# Builds the library and its command-line tool and asks a few questions
# about water and steam, answered from the shipped tables.
set -euo pipefail
cd "$(dirname "$0")/.."

RUDID_WITH_WINDOWS=0 tools/install_dependencies.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${RUDID_JOBS:-2}" --target rudid32 steam_table_example >/dev/null

run() { echo "\$ rudid32 $*"; build/cli/rudid32 "$@" || true; echo; }
run AQPPT 1
run AQPPHT 10 3000
run state p=10 h=3000
run state p=50 x=0.3
run state p=300 T=500
run state p=1.01325 T=101
run AQPPT 300
echo '$ printf "1,100\n10,300\n100,500\n1500,500\n" | rudid32 batch AQPPTH'
printf '1,100\n10,300\n100,500\n1500,500\n' | build/cli/rudid32 batch AQPPTH || true
echo
run diagram build/ts.svg
echo "The C interface, from a program (examples/steam_table_example.c):"
build/examples/steam_table_example
