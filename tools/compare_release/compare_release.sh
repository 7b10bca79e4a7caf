#!/bin/sh
# Compares a build of the library with the previous release, bit for bit,
# in three unit configurations: the shipped default.cfg, psi/F/Btu/ft3 and
# MPa/K/m3/ton. Every property function as single calls, batch rows and
# state flags (compare_release.cpp).
#
#   tools/compare_release/compare_release.sh [NEW.so] [OLD.so] [CALLS_PER_FUNCTION]
#
# Defaults: build/libRUDID32.so, /work/baseline/libRUDID32.so, 6000 (about
# 1.1 million calls over the three configurations).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
new=$(realpath "${1:-$root/build/libRUDID32.so}")
old=$(realpath "${2:-/work/baseline/libRUDID32.so}")
calls=${3:-6000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -O2 -Wall -Wextra -I"$root/include" -o "$work/compare_release" "$here/compare_release.cpp" -ldl

# A data directory with the shipped tables and a default.cfg whose words
# select the given unit for each quantity code: "code=selection ...".
configuration() {
    dir="$work/$1"
    mkdir -p "$dir"
    for table in zarude.dat vevuzu.dat didizar.dat; do ln -s "$root/data/$table" "$dir/$table"; done
    if [ "$2" = shipped ]; then
        cp "$root/data/default.cfg" "$dir/default.cfg"
    else
        python3 - "$dir/default.cfg" "$2" <<'PY'
import struct, sys
words = [0] * 31
for pair in sys.argv[2].split():
    code, selection = pair.split("=")
    words[int(code)] = int(selection)
open(sys.argv[1], "wb").write(struct.pack("<31h", *words))
PY
    fi
    printf '[STARTUP]\nDIR=%s\n' "$dir" > "$dir/ZAREVIRU.INI"
}

# Quantity codes: 3 pressure, 5 enthalpy, 6 temperature, 10 entropy, 12 volume.
configuration shipped shipped
configuration imperial "3=10 5=3 6=2 10=3 12=4"
configuration si "3=3 6=1 12=0"

status=0
seed=1
for config in shipped imperial si; do
    echo "== $config"
    ZAREVIRU_INI="$work/$config/ZAREVIRU.INI" "$work/compare_release" "$old" "$new" "$calls" "$seed" || status=1
    seed=$((seed + 1))
done
exit $status
