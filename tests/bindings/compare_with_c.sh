#!/bin/bash
# Compiles the Pascal unit pascal/rudid32.pas with Free Pascal, with the
# example program and the corpus program, against the built libRUDID32.so,
# and requires the Pascal calls to give the C calls' answers bit for bit:
# the Windows test corpus, its decimals turned into the bits of doubles, run
# through linux_corpus (C++, dlopen) and through corpus_bits (Pascal, the
# unit's declarations); the example program must run.
#
#   compare_with_c.sh FPC SOURCE_DIR LIBRARY_DIR linux_corpus CORPUS
#
# Without fpc (FPC empty or missing) the test is skipped (exit status 77).
set -u
if [ $# -ne 5 ]; then
    echo "usage: $0 FPC SOURCE_DIR LIBRARY_DIR linux_corpus CORPUS" >&2
    exit 2
fi
fpc=$1; source=$(cd "$2" && pwd); libdir=$(cd "$3" && pwd); linux_corpus=$4; corpus=$5
if [ -z "$fpc" ] || ! [ -x "$fpc" ]; then
    echo "skipped: Free Pascal (fpc) is not installed; tools/install_dependencies.sh installs fp-compiler"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[STARTUP]\nDIR=%s\n' "$source/data" >"$work/ZAREVIRU.INI"
export ZAREVIRU_INI="$work/ZAREVIRU.INI"

for program in "$source/pascal/steam_table.pas" "$source/tests/bindings/corpus_bits.pas"; do
    if ! "$fpc" -v0 -Sew -Fu"$source/pascal" -Fl"$libdir" -k-rpath="$libdir" -FE"$work" -FU"$work" \
            "$program" >"$work/fpc.log" 2>&1; then
        cat "$work/fpc.log" >&2
        echo "fpc could not compile $program" >&2
        exit 1
    fi
done

failed=0
if ! "$work/steam_table" >"$work/example.out" 2>&1 || ! grep -q '^AQPPTH(6.3 bar, 161 C) = 2758\.' "$work/example.out"; then
    cat "$work/example.out" >&2
    echo "the example program failed" >&2
    failed=1
fi

# The corpus with every argument as the bits of its double (as C's strtod
# reads it: Python's float() rounds decimals the same, correctly).
python3 - "$corpus" >"$work/corpus.hex" <<'PY'
import struct, sys
for line in open(sys.argv[1]):
    words = line.split("#")[0].split()
    if not words:
        continue
    bits = [w if w.lower().startswith("0x") and len(w) == 18 else
            "0x%016x" % struct.unpack("<Q", struct.pack("<d", float(w)))[0] for w in words[1:]]
    print(" ".join([words[0]] + bits))
PY

"$linux_corpus" "$libdir/libRUDID32.so" "$work/corpus.hex" 2>"$work/c.err" | grep -v '^derived \|^solved ' |
    sed -E 's/ => (0x[0-9a-f]{16}) .*$/ => \1/' >"$work/c.out"
c_status=${PIPESTATUS[0]}
"$work/corpus_bits" "$work/corpus.hex" >"$work/pascal.out" 2>"$work/pascal.err"
pascal_status=$?
cat "$work/c.err" "$work/pascal.err" >&2
[ "$c_status" -eq 0 ] || { echo "linux_corpus exited with $c_status" >&2; failed=1; }
[ "$pascal_status" -eq 0 ] || { echo "corpus_bits exited with $pascal_status" >&2; failed=1; }
calls=$(wc -l <"$work/c.out")
[ "$calls" -gt 0 ] || { echo "no call was run" >&2; failed=1; }
if ! diff -u --label C "$work/c.out" --label Pascal "$work/pascal.out" >&2; then
    echo "the Pascal unit and the C calls disagree" >&2
    failed=1
fi
echo "compared $calls calls bit for bit"
exit $failed
