#!/bin/bash
# Runs one call corpus through RUDID32.dll under Wine (with win_harness.exe,
# or with vba_harness.exe for the Visual Basic twins) and through
# libRUDID32.so on Linux, both configured with the same data directory, and
# requires the two outputs to be identical byte for byte (every result as
# the exact bits of its double, every failure with its code and message),
# the refined answers of every line (RudidEvaluateRefined), the derived
# properties of its AQPPTH states (RudidSolveProperties) and the whole
# states by temperature and volume of its AQPPTV states (RudidSolveStates,
# found by searching the pressure) included (not for the Visual Basic twins,
# which have none of them).
# Each harness also checks the caller's x87 control word and runs the
# corpus on two threads at once; a problem there fails the test too. The DLL
# is then loaded again under each host control word of RUDID_HOST_WORDS
# (hex, default six typical ones) and must print the same output.
#
#   compare_with_linux.sh RUDID32.dll win_harness.exe linux_corpus libRUDID32.so CORPUS DATA_DIR
set -u
if [ $# -ne 6 ]; then
    echo "usage: $0 RUDID32.dll win_harness.exe linux_corpus libRUDID32.so CORPUS DATA_DIR" >&2
    exit 2
fi
abs() { (cd "$(dirname "$1")" && printf '%s/%s' "$(pwd)" "$(basename "$1")"); }
dll=$(abs "$1"); harness=$(abs "$2"); linux_corpus=$(abs "$3"); shared=$(abs "$4")
corpus=$(abs "$5"); data=$(cd "$6" && pwd)

. "$(dirname "$0")/wine_env.sh"
wine_begin

work=$(mktemp -d)
trap 'wine_end; rm -rf "$work"' EXIT

printf '[STARTUP]\nDIR=%s\n' "$data" >"$work/linux.ini"
ZAREVIRU_INI="$work/linux.ini" "$linux_corpus" "$shared" "$corpus" >"$work/linux.out" 2>"$work/linux.err"
linux_status=$?
if [ "$(basename "$harness")" = vba_harness.exe ]; then
    grep -v '^refined \|^derived \|^solved ' "$work/linux.out" >"$work/linux-table.out"
    mv "$work/linux-table.out" "$work/linux.out"
fi

write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$data")"
start=$(date +%s.%N)
wine "$harness" "$(win_path "$dll")" "$(win_path "$corpus")" >"$work/windows.out" 2>"$work/windows.err"
windows_status=$?
end=$(date +%s.%N)

cat "$work/linux.err" "$work/windows.err" >&2
failed=0
if [ $linux_status -ne 0 ]; then echo "linux_corpus exited with $linux_status" >&2; failed=1; fi
if [ $windows_status -ne 0 ]; then echo "$(basename "$harness") exited with $windows_status" >&2; failed=1; fi
calls=$(wc -l <"$work/linux.out")
if [ "$calls" -eq 0 ]; then echo "no call was run" >&2; failed=1; fi
if ! diff -u --label linux "$work/linux.out" --label windows "$work/windows.out" >&2; then
    echo "the DLL and the shared library disagree" >&2
    failed=1
fi

# The DLL loaded by a host that runs with another x87 control word (set
# before LoadLibraryA and kept for every call): 64-bit precision, the
# Windows default of 53 bits, 24 bits, toward zero, upward, and a Delphi
# host that unmasks invalid operation, zero divide and overflow. Whatever
# the library computes once must not depend on it.
for word in ${RUDID_HOST_WORDS:-037F 027F 007F 0E7F 0B7F 1332}; do
    wine "$harness" "$(win_path "$dll")" --load-word "$word" "$(win_path "$corpus")" \
        >"$work/windows-$word.out" 2>"$work/windows-$word.err"
    status=$?
    cat "$work/windows-$word.err" >&2
    if [ $status -ne 0 ]; then echo "$(basename "$harness") --load-word $word exited with $status" >&2; failed=1; fi
    if ! diff -u --label linux "$work/linux.out" --label "windows-$word" "$work/windows-$word.out" \
            | head -n 40 >&2 || ! cmp -s "$work/linux.out" "$work/windows-$word.out"; then
        echo "the DLL loaded under host control word $word disagrees with the shared library" >&2
        failed=1
    fi
done
echo "compared $calls calls; $(basename "$harness") took $(awk "BEGIN { printf \"%.1f\", $end - $start }") s" >&2
if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
