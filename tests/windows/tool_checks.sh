#!/bin/bash
# rudid32.exe under Wine against the Linux rudid32: the same answers, to the
# byte, for calls, state and batch; the unit listing; `units set` on a
# private data directory's default.cfg and, with --user, on a units file
# under a private APPDATA.
#
#   tool_checks.sh WIN_DIR LINUX_RUDID32 DATA_DIR
#
# WIN_DIR holds RUDID32.dll and rudid32.exe. Both are copied into a private
# folder with a ZAREVIRU.INI beside them that names a private copy of the
# tables, so nothing is read from or written to the prefix's Windows
# directory or the shipped data. The Linux tool reads its own private copy
# through ZAREVIRU_INI.
set -u
if [ $# -ne 3 ]; then
    echo "usage: $0 WIN_DIR LINUX_RUDID32 DATA_DIR" >&2
    exit 2
fi
win_dir=$(cd "$1" && pwd); linux_tool=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); data=$(cd "$3" && pwd)

. "$(dirname "$0")/wine_env.sh"
wine_begin
# An INI in the Windows directory would come before the one beside the DLL.
remove_ini

work=$(mktemp -d)
cleanup() {
    wine_end
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
ok() { passed=$((passed + 1)); echo "ok - $1"; }
not_ok() { failed=$((failed + 1)); echo "not ok - $1"; }
# same NAME EXPECTED ACTUAL: the two texts are equal (and not empty).
same() {
    if [ -n "$2" ] && [ "$2" == "$3" ]; then ok "$1"; else
        not_ok "$1"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /'; fi
}
# holds NAME COMMAND...: the command succeeds.
holds() {
    local name=$1; shift
    if "$@"; then ok "$name"; else not_ok "$name"; fi
}
# check NAME PATTERN ACTUAL: the text matches the extended regular expression.
check() {
    if printf '%s\n' "$3" | grep -Eq -- "$2"; then ok "$1"; else
        not_ok "$1: expected /$2/, got:"; printf '%s\n' "$3" | sed 's/^/    /'; fi
}

tables="zarude.dat vevuzu.dat didizar.dat default.cfg"
# A fresh private data directory: NAME -> $work/NAME/data, with an INI.
new_data() {
    mkdir -p "$work/$1/data"
    for file in $tables; do cp "$data/$file" "$work/$1/data/"; done
    printf '[STARTUP]\nDIR=%s\n' "$work/$1/data" >"$work/$1/ZAREVIRU.INI"
}
mkdir -p "$work/bin"
cp "$win_dir/RUDID32.dll" "$win_dir/rudid32.exe" "$work/bin/"
new_data win
new_data linux
printf '[STARTUP]\r\nDIR=%s\r\n' "$(win_path "$work/win/data")" >"$work/bin/ZAREVIRU.INI"
appdata="$work/appdata"
config_home="$work/config"
mkdir -p "$appdata" "$config_home"

# Wine gives a process the APPDATA of the prefix's profile whatever the
# environment says: cmd sets the private one for the tool.
run_win() {
    (cd "$work" && wine cmd /c "set APPDATA=$(win_path "$appdata")&& $(win_path "$work/bin/rudid32.exe") $*")
}
# Output as it comes, bytes and all; the exit status on a last line.
win() { run_win "$@" 2>/dev/null; echo "exit $?"; }
linux() {
    (cd "$work" && ZAREVIRU_INI="$work/linux/ZAREVIRU.INI" XDG_CONFIG_HOME="$config_home" \
        "$linux_tool" "$@" 2>/dev/null; echo "exit $?")
}
# Standard error alone.
# shellcheck disable=SC2069
win_stderr() { run_win "$@" 2>&1 >/dev/null; }
# The bytes of the output, visible: a CR shows as \r.
bytes() { od -An -c | tr -s ' ' | tr -d '\n'; }

# Calls, exact and rounded, an answer out of range and a refused argument.
for call in "AQPPHT 10 3000" "--exact AQPPHT 10 3000" "--exact AQPPTH 6.3 161" "AQPPT 1" "AQPPT 300" \
            "AQPPHT 10 nan" "state p=10 T=300" "state p=1 x=0.5" "--exact state T=150 s=6"; do
    # shellcheck disable=SC2086
    same "$call: as the Linux tool" "$(linux $call | bytes)" "$(win $call | bytes)"
done
check "AQPPHT 10 3000 answers" '^275\.9792 C$' "$(win --table AQPPHT 10 3000)"

# batch from a pipe and from a file, LF and CR LF line ends alike.
rows=$'10,3000\n1,100\n300,1\nten,5\n0.5,2000'
printf '%s\n' "$rows" >"$work/rows.csv"
same "batch from a pipe: as the Linux tool" "$(linux batch AQPPHT <"$work/rows.csv" | bytes)" \
     "$(win batch AQPPHT < <(cat "$work/rows.csv") | bytes)"
same "batch from a file: as the Linux tool" "$(linux batch AQPPHT <"$work/rows.csv" | bytes)" \
     "$(win batch AQPPHT <"$work/rows.csv" | bytes)"
sed 's/$/\r/' "$work/rows.csv" >"$work/rows-crlf.csv"
same "batch of CR LF rows: as the Linux tool" "$(linux batch state p h <"$work/rows-crlf.csv" | bytes)" \
     "$(win batch state p h < <(cat "$work/rows-crlf.csv") | bytes)"
check "batch answers the first row" '^10,3000,275\.9792,' "$(win --table batch AQPPHT <"$work/rows.csv")"

# The listing: the same but for the path of the unit file, a Windows one.
win_list=$(win units); linux_list=$(linux units)
check "units names the data directory's default.cfg" \
      "^unit configuration $(win_path "$work/win/data/default.cfg" | sed 's/[\\.]/\\&/g')\$" \
      "$(printf '%s\n' "$win_list" | head -1)"
same "units: as the Linux tool" "$(printf '%s\n' "$linux_list" | tail -n +2)" \
     "$(printf '%s\n' "$win_list" | tail -n +2)"

# units set: default.cfg replaced whole, as the Linux tool writes it; the
# stale temporary of a writer killed long ago goes, a fresh one stays.
stale="$work/win/data/.default.cfg.a1b2c3"; fresh="$work/win/data/.default.cfg.d4e5f6"
: >"$stale"; : >"$fresh"
touch -d '2 hours ago' "$stale"
check "units set pressure psi" '^exit 0$' "$(win units set --installation pressure psi | tail -1)"
linux units set --installation pressure psi >/dev/null
holds "default.cfg as the Linux tool writes it" cmp -s "$work/win/data/default.cfg" "$work/linux/data/default.cfg"
holds "default.cfg changed" test "$(od -An -tx1 "$work/win/data/default.cfg")" != "$(od -An -tx1 "$data/default.cfg")"
holds "a stale temporary is removed" test ! -e "$stale"
holds "a fresh temporary is left to its writer" test -e "$fresh"
leftovers=$(find "$work/win/data" -mindepth 1 ! -name '*.dat' ! -name default.cfg ! -name .default.cfg.d4e5f6)
same "units set leaves no temporary" "none" "${leftovers:-none}"
check "a call after units set answers in psi" '^pressure +145\.0377 psi$' "$(win state p=145.0377 T=300)"
same "state in psi: as the Linux tool" "$(linux state p=145.0377 T=300 | bytes)" "$(win state p=145.0377 T=300 | bytes)"

# units set --user: the file under APPDATA, as the Linux tool writes its
# own under XDG_CONFIG_HOME; default.cfg stays.
cp "$work/win/data/default.cfg" "$work/before.cfg"
check "units set --user temperature F" '^exit 0$' "$(win units set --user temperature F | tail -1)"
linux units set --user temperature F >/dev/null
holds "the user's units file under APPDATA, as on Linux" \
      cmp -s "$appdata/rudid32/units" "$config_home/rudid32/units"
holds "--user leaves default.cfg" cmp -s "$work/win/data/default.cfg" "$work/before.cfg"
check "a call after units set --user answers in F" '^temperature +572 F$' "$(win state p=145.0377 T=572)"
same "AQPPHT in psi and F: as the Linux tool" "$(linux --exact AQPPHT 145.0377 3000 | bytes)" \
     "$(win --exact AQPPHT 145.0377 3000 | bytes)"

# Only files are replaced: a directory or a device in their place is refused.
mkdir "$work/picture.svg"
check "diagram over a directory is refused" 'will not replace .*picture\.svg: it is a directory' \
      "$(win_stderr diagram "$(win_path "$work/picture.svg")")"
check "diagram over the NUL device is refused" 'will not replace NUL: it is a device' "$(win_stderr diagram NUL)"
rm "$work/win/data/default.cfg" && mkdir "$work/win/data/default.cfg"
check "units set with a directory for default.cfg is refused" 'default\.cfg is not a regular file' \
      "$(win_stderr units set --installation pressure bar)"
holds "the directory stays" test -d "$work/win/data/default.cfg"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
