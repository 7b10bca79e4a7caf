#!/bin/bash
# The Windows bundle: the windows_bundle target builds build/RUDID32-windows.zip,
# which holds exactly the files its README names, the DLLs of the build (of
# the right machine each), the shipped tables and modules, an INI beside
# each DLL; unpacked into a folder with a blank in its name and with no INI
# in the Windows directory, the 32-bit DLL finds its tables through that
# INI and answers.
#
#   check_bundle.sh CMAKE BUILD_DIR ZIP WIN32_DIR WIN64_DIR SOURCE_DIR
set -u
if [ $# -ne 6 ]; then
    echo "usage: $0 CMAKE BUILD_DIR ZIP WIN32_DIR WIN64_DIR SOURCE_DIR" >&2
    exit 2
fi
cmake=$1; build=$2; zip=$3; win32=$4; win64=$5; source=$6

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

rm -f "$zip"
out=$("$cmake" --build "$build" --target windows_bundle 2>&1)
status=$?
check "the windows_bundle target builds" '^0$' "$status"
[ -f "$zip" ] || { echo "not ok - no $zip"; echo "$passed passed, $((failed + 1)) failed"; exit 1; }

# The contents, compared with their sources, in Python's zipfile.
out=$(python3 - "$zip" "$win32" "$win64" "$source" <<'PY'
import pathlib, re, sys, zipfile
zip_path, win32, win64, source = sys.argv[1:]
source = pathlib.Path(source)
expected = {
    "README.txt": None, "RUDID32.bas": source / "examples/excel/RUDID32.bas",
    "rudid32.pas": source / "pascal/rudid32.pas",
    "win32/RUDID32.dll": pathlib.Path(win32) / "RUDID32.dll", "win32/ZAREVIRU.INI": None,
    "win64/RUDID32.dll": pathlib.Path(win64) / "RUDID32.dll", "win64/ZAREVIRU.INI": None,
}
for name in ("zarude.dat", "vevuzu.dat", "didizar.dat", "default.cfg"):
    expected["data/" + name] = source / "data" / name
with zipfile.ZipFile(zip_path) as bundle:
    names = sorted(n[len("RUDID32-windows/"):] for n in bundle.namelist())
    print("files:", "same" if names == sorted(expected) else "differ: %s" % names)
    for name, origin in expected.items():
        if origin is not None and name in names:
            same = bundle.read("RUDID32-windows/" + name) == origin.read_bytes()
            print(f"{name}: {'as built' if same else 'not the file of the build'}")
    readme = bundle.read("RUDID32-windows/README.txt").decode()
    missing = [n for n in expected if n.replace("/", "\\") not in readme]
    print("readme names:", "all" if not missing else "not " + ", ".join(missing))
    for bits, machine in (("32", 0x14C), ("64", 0x8664)):
        dll = bundle.read(f"RUDID32-windows/win{bits}/RUDID32.dll")
        pe = int.from_bytes(dll[0x3C:0x40], "little")
        found = int.from_bytes(dll[pe + 4:pe + 6], "little") if dll[pe:pe + 4] == b"PE\0\0" else None
        print(f"win{bits} machine: {'right' if found == machine else found}")
        ini = bundle.read(f"RUDID32-windows/win{bits}/ZAREVIRU.INI").decode()
        print(f"win{bits} ini:", "DIR=..\\data" if re.search(r"^DIR=\.\.\\data\r$", ini, re.M) else ini)
PY
)
check "the zip holds exactly the bundle's files" '^files: same$' "$out"
for file in RUDID32.bas rudid32.pas win32/RUDID32.dll win64/RUDID32.dll data/zarude.dat data/vevuzu.dat \
    data/didizar.dat data/default.cfg; do
    check "$file is the build's" "^$file: as built$" "$out"
done
check "the README names every file" '^readme names: all$' "$out"
check "win32 holds a PE32 i386 DLL" '^win32 machine: right$' "$out"
check "win64 holds a PE32+ x86-64 DLL" '^win64 machine: right$' "$out"
check "the INI beside each DLL says DIR=..\\data" '^win32 ini: DIR=\.\.\\data$' "$out"

# Unpacked, with no INI in the Windows directory: the 32-bit DLL reads its
# own and answers from the bundle's tables.
. "$(dirname "$0")/wine_env.sh"
wine_begin
work=$(mktemp -d)
trap 'wine_end; rm -rf "$work"' EXIT
mkdir -p "$work/my tools"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/my tools"
remove_ini
unpacked="$work/my tools/RUDID32-windows"
dll=$(win_path "$unpacked/win32/RUDID32.dll")
out=$(wine "$win32/win_harness.exe" "$dll" --startup 2>&1)
check "the unpacked DLL takes its data directory from the INI beside it" \
    "^data-directory: $(win_path "$unpacked/win32" | sed 's/[\\.]/\\&/g')\\\\\.\.\\\\data\\\\\$" "$out"
check "the unpacked DLL reads the bundle's default.cfg" '^startup-message: $' "$out"
out=$(printf 'AQPPTH 6.3 161\n' | wine "$win32/win_harness.exe" "$dll" 2>&1)
check "the unpacked DLL answers from the bundle's tables" '^AQPPTH 6\.3 161 => 0x[0-9a-f]{16} ' "$out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
