#!/bin/bash
# Windows-only behaviour of RUDID32.dll under Wine: where start-up finds
# ZAREVIRU.INI and the data directory, and how a table that cannot be read
# reaches the host as the library's exception, or as a code and a message
# naming the file through the Visual Basic twins (vba_harness.exe).
#
#   wine_checks.sh RUDID32.dll win_harness.exe DATA_DIR [vba_harness.exe]
#
# DATA_DIR holds the three tables and default.cfg. Every case rewrites
# ZAREVIRU.INI in the Windows directory of the Wine prefix and starts a new
# process, because start-up runs once, when the DLL is loaded.
set -u
if [ $# -ne 3 ] && [ $# -ne 4 ]; then
    echo "usage: $0 RUDID32.dll win_harness.exe DATA_DIR [vba_harness.exe]" >&2
    exit 2
fi
abs() { (cd "$(dirname "$1")" && printf '%s/%s' "$(pwd)" "$(basename "$1")"); }
dll=$(abs "$1"); harness=$(abs "$2"); data=$(cd "$3" && pwd)
vba=""; [ $# -eq 4 ] && vba=$(abs "$4")

. "$(dirname "$0")/wine_env.sh"
wine_begin

work=$(mktemp -d)
drive_c="$WINEPREFIX/drive_c"
tables="zarude.dat vevuzu.dat didizar.dat"
cleanup() {
    for file in $tables default.cfg; do rm -f "$drive_c/$file"; done
    wine_end
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # check NAME EXPECTED-PATTERN ACTUAL
    if printf '%s\n' "$3" | grep -Eq -- "$2"; then
        passed=$((passed + 1))
        echo "ok - $1"
    else
        failed=$((failed + 1))
        echo "not ok - $1: expected /$2/, got:"
        printf '%s\n' "$3" | sed 's/^/    /'
    fi
}

# Runs corpus lines given on stdin; prints the harness's output.
calls() { wine "$harness" "$(win_path "$dll")" "$@" 2>&1; }
vba_calls() { wine "$vba" "$(win_path "$dll")" 2>&1; }
# A Windows path as an extended regular expression.
pattern() { printf '%s' "$1" | sed 's/[\\.]/\\&/g'; }
startup() { wine "$harness" "$(win_path "$dll")" --startup 2>&1; }
startup_message() { startup | grep '^startup-message:'; }
data_directory() { startup | sed -n 's/^data-directory: //p'; }

# A pressure that every unit selection of default.cfg puts inside the
# saturation table, and one pressure-temperature state of the single-phase
# table; answers are checked only for being answers, not for their value.
answer='=> 0x[0-9a-f]{16} '
corpus='AQPPT 1
AQPPTH 1 100'
message='startup-message: File is corrupt or missing! "default.cfg" is corrupt or missing!'

complete="$work/complete"        # tables and default.cfg
no_tables="$work/no tables"      # default.cfg only; the blank is part of the test
truncated="$work/truncated"      # zarude.dat cut after its first record
mkdir -p "$complete" "$no_tables" "$truncated"
for file in $tables default.cfg; do cp "$data/$file" "$complete/"; done
cp "$data/default.cfg" "$no_tables/"
cp "$complete"/* "$truncated/"
head -c 28 "$data/zarude.dat" >"$truncated/zarude.dat"

# The INI names the data directory; start-up appends one separator.
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$complete")"
expected=$(win_path "$complete")'\'
check "data directory is the DIR value and a separator" "^$(printf '%s' "$expected" | sed 's/[\\.]/\\&/g')\$" "$(data_directory)"
check "INI in the Windows directory names the data directory" "^AQPPT 1 $answer" "$(echo "$corpus" | calls)"
check "default.cfg read from the data directory: no start-up message" '^startup-message: $' "$(startup_message)"

# Profile rules: section and key in any case, one pair of quotes removed.
write_ini '[startup]\ndir="%s"\n' "$(win_path "$complete")"
check "section and key match without case, quotes removed" "^AQPPTH 1 100 $answer" "$(echo "$corpus" | calls)"

# An empty value is a value: the data directory is a lone separator.
write_ini '[STARTUP]\nDIR=\n'
check "empty DIR gives a lone separator" '^\\$' "$(data_directory)"

# Where a profile reader could choose: the first line naming the key decides,
# even without "=" (no value: the default); only the first section of a name
# is searched; a UTF-16 file with a byte-order mark is read. The Linux
# library reads its INI file the same way.
write_ini '[STARTUP]\nDIR\nDIR=D:\\later\n'
check "DIR without = before DIR=: the default" '^C:\\\\$' "$(data_directory)"
write_ini '[STARTUP]\nLANG=1\n[STARTUP]\nDIR=D:\\second\n'
check "DIR in a second STARTUP section: the default" '^C:\\\\$' "$(data_directory)"
for encoding in UTF-16LE UTF-16BE; do
    printf '\xef\xbb\xbf[STARTUP]\r\nDIR=D:\\wide\r\n' | iconv -f UTF-8 -t "$encoding" \
        >"$WINE_WINDOWS_DIR/ZAREVIRU.INI"
    check "$encoding INI with a byte-order mark is read" '^D:\\wide\\$' "$(data_directory)"
done

# A value longer than 254 characters is cut to 254.
long=$(printf 'D:\\%0300d' 0)
write_ini '[STARTUP]\nDIR=%s\n' "$long"
check "a long DIR is cut to 254 characters" '^255$' "$(data_directory | tr -d '\n' | wc -c)"

# A data directory without the tables: the host gets the library's
# exception with code 2, from the saturation and the single-phase lookups.
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$no_tables")"
out=$(echo "$corpus" | calls)
check "missing zarude.dat raises code 2" '^AQPPT 1 => FAIL 2 File not found$' "$out"
check "missing didizar.dat raises code 2" '^AQPPTH 1 100 => FAIL 2 File not found$' "$out"
if [ -n "$vba" ]; then
    out=$(printf 'AQPPT 1\nAQPPTH 300 500\n' | vba_calls)
    check "VBA twin: missing zarude.dat is code 2, the message names it" \
        "^AQPPT 1 => FAIL 2 File not found: $(pattern "$(win_path "$no_tables")\zarude.dat")\$" "$out"
    check "VBA twin: missing didizar.dat is code 2, the message names it" \
        "^AQPPTH 300 500 => FAIL 2 File not found: $(pattern "$(win_path "$no_tables")\didizar.dat")\$" "$out"
    check "VBA twins: no other problem with the tables missing" '^vba_harness: 2 calls, 0 problem\(s\)' "$out"
    # The refined answer through the context twin: the same code, and the
    # message names the file too.
    out=$(printf 'AQPPT 1\nAQPPTH 6.3 161\n' | wine "$vba" "$(win_path "$dll")" --context-calls 2>&1)
    check "VBA context twin: missing zarude.dat is code 2, the message names it" \
        "^AQPPT 1 => code 2 0x[0-9a-f]{16} File not found: $(pattern "$(win_path "$no_tables")\zarude.dat")\$" "$out"
    check "VBA context twin: missing didizar.dat is code 2, the message names it" \
        "^AQPPTH 6.3 161 => code 2 0x[0-9a-f]{16} File not found: $(pattern "$(win_path "$no_tables")\didizar.dat")\$" "$out"
fi

# A data directory that does not exist: code 3, and default.cfg is missing.
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$work/nowhere")"
check "missing data directory raises code 3" '^AQPPT 1 => FAIL 3 Invalid filename$' "$(echo "$corpus" | calls)"
check "missing default.cfg stores the start-up message" "^$message\$" "$(startup_message)"

# A table shorter than the record a lookup needs: code 100.
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$truncated")"
check "truncated table raises code 100" '^AQPPT 100 => FAIL 100 Read beyond end of file$' \
    "$(echo 'AQPPT 100' | calls)"

# Another reader holding a table open does not stop the library: it opens
# the tables for reading only.
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$complete")"
check "a table held open by another reader is still read" "^AQPPT 1 $answer" \
    "$(echo "$corpus" | calls --hold-open "$(win_path "$complete/zarude.dat")")"

# CACHE=1: single calls from the tables kept in memory give the same output
# on the whole Windows corpus (answers, codes, failures, the harness's own
# checks under two host words and from many threads), and a missing or
# short table fails as when the files are read on every call.
corpus_file=$(win_path "$(cd "$(dirname "$0")" && pwd)/corpus.txt")
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$complete")"
plain=$(calls "$corpus_file")
write_ini '[STARTUP]\nDIR=%s\nCACHE=1\n' "$(win_path "$complete")"
cached=$(calls "$corpus_file")
check "the corpus answers with the files read on every call" "$answer" "$plain"
if [ "$cached" = "$plain" ]; then
    passed=$((passed + 1))
    echo "ok - CACHE=1: the corpus gives the same output"
else
    failed=$((failed + 1))
    echo "not ok - CACHE=1: the corpus gives another output:"
    diff <(printf '%s\n' "$plain") <(printf '%s\n' "$cached") | head -20 | sed 's/^/    /'
fi
write_ini '[STARTUP]\nDIR=%s\nCACHE=1\n' "$(win_path "$no_tables")"
check "CACHE=1: missing zarude.dat raises code 2" '^AQPPT 1 => FAIL 2 File not found$' "$(echo "$corpus" | calls)"
write_ini '[STARTUP]\nDIR=%s\nCACHE=1\n' "$(win_path "$truncated")"
check "CACHE=1: truncated table raises code 100" '^AQPPT 100 => FAIL 100 Read beyond end of file$' \
    "$(echo 'AQPPT 100' | calls)"

# A signalling NaN in either argument of every property function, under a
# host control word with invalid operation unmasked (0x1332): the library's
# exception with failure 205, the host's word back and an empty x87 stack.
# The harness reports each problem on its own line.
check "signalling NaNs raise failure 205 under a strict host control word" \
    '^signalling NaN: 44 calls, 0 problem\(s\)$' "$(wine "$harness" "$(win_path "$dll")" --signalling-nan 2>&1)"

# No INI in the Windows directory: the DLL reads the one beside itself. A
# relative DIR there is the DLL folder's (. the folder itself); the Windows
# directory's INI, where installations keep theirs, still comes first.
beside="$work/unpacked here"
mkdir -p "$beside/data"
cp "$dll" "$beside/RUDID32.dll"
for file in $tables default.cfg; do cp "$data/$file" "$beside/"; cp "$data/$file" "$beside/data/"; done
beside_dll=$(win_path "$beside/RUDID32.dll")
beside_startup() { wine "$harness" "$beside_dll" --startup 2>&1; }
beside_calls() { wine "$harness" "$beside_dll" 2>&1; }
write_beside() {  # printf format and arguments, CRLF line ends
    # shellcheck disable=SC2059
    printf "$@" | sed 's/$/\r/' >"$beside/ZAREVIRU.INI"
}
remove_ini
write_beside '[STARTUP]\nDIR=%s\n' "$(win_path "$complete")"
check "INI beside the DLL names the data directory" \
    "^data-directory: $(pattern "$(win_path "$complete")")\\\\\$" "$(beside_startup)"
check "INI beside the DLL: tables read" "^AQPPTH 1 100 $answer" "$(echo "$corpus" | beside_calls)"
write_beside '[STARTUP]\nDIR=.\n'
check "DIR=. beside the DLL is the DLL's folder" \
    "^data-directory: $(pattern "$(win_path "$beside")")\\\\\$" "$(beside_startup)"
check "DIR=. beside the DLL: tables and default.cfg read from there" "^AQPPT 1 $answer" "$(echo "$corpus" | beside_calls)"
check "DIR=. beside the DLL: no start-up message" '^startup-message: $' "$(beside_startup)"
write_beside '[STARTUP]\nDIR=data\n'
check "a relative DIR beside the DLL is under the DLL's folder" \
    "^data-directory: $(pattern "$(win_path "$beside/data")")\\\\\$" "$(beside_startup)"
write_ini '[STARTUP]\nDIR=%s\n' "$(win_path "$truncated")"
check "the Windows directory's INI comes before the one beside the DLL" \
    "^data-directory: $(pattern "$(win_path "$truncated")")\\\\\$" "$(beside_startup)"
write_ini '[STARTUP]\nDIR=data\n'
check "a relative DIR in the Windows directory's INI stays as it is" '^data-directory: data\\$' "$(beside_startup)"
rm -f "$beside/ZAREVIRU.INI"

# No INI: the default C:\ with a second \ appended, which Windows reads as
# the root of drive C.
remove_ini
check "no INI: data directory C:\\ with a second \\" '^C:\\\\$' "$(data_directory)"
check "no INI, nothing in C:\\: code 2" '^AQPPT 1 => FAIL 2 File not found$' "$(echo "$corpus" | calls)"
check "no INI, no C:\\default.cfg: start-up message" "^$message\$" "$(startup_message)"
for file in $tables default.cfg; do cp "$data/$file" "$drive_c/"; done
check "no INI: tables read from C:\\" "^AQPPT 1 $answer" "$(echo "$corpus" | calls)"
check "no INI: C:\\default.cfg read" '^startup-message: $' "$(startup_message)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
