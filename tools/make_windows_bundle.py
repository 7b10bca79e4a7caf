#!/usr/bin/python3
"""Packs what a Windows user needs into one zip, unpacked anywhere and used
without administrator rights:

    RUDID32-windows/
        README.txt            what each file is and where it goes
        RUDID32.bas           the VBA module for Excel (import it)
        rudid32.pas           the Pascal unit
        win32/RUDID32.dll     for 32-bit Office and programs
        win32/ZAREVIRU.INI    DIR=..\\data: the tables beside the folder
        win64/RUDID32.dll     for 64-bit Office and programs
        win64/ZAREVIRU.INI
        data/zarude.dat, data/vevuzu.dat, data/didizar.dat, data/default.cfg

    make_windows_bundle.py SOURCE_DIR WIN32_DLL WIN64_DLL OUTPUT.zip
"""
import pathlib
import sys
import zipfile

TOP = "RUDID32-windows"
DATA_FILES = ("zarude.dat", "vevuzu.dat", "didizar.dat", "default.cfg")

INI = """\
; ZAREVIRU.INI beside RUDID32.dll: start-up reads it when the Windows
; directory has no ZAREVIRU.INI of its own (that one comes first).
;
; DIR is the folder of the three tables and default.cfg. A relative DIR is
; taken from the folder of this file and the DLL:
;   DIR=..\\data      the data folder of the unpacked zip (as shipped)
;   DIR=.            the tables lie beside the DLL
;   DIR=D:\\steam     any folder, written out in full
; CACHE=1 keeps the tables in memory (checked against the files once a
; second); CACHE=0 or none reads them on every call.
[STARTUP]
DIR=..\\data
CACHE=0
"""

README = """\
RUDID32 for Windows: water and steam properties for Excel, Pascal and C
======================================================================

Unpack this folder anywhere you may write (Documents, a project folder,
a network share). Nothing needs administrator rights and nothing goes
into the Windows directory.

What each file is and where it goes
-----------------------------------
README.txt          this text.
RUDID32.bas         the VBA module for Excel. In Excel: Alt+F11, then
                    File > Import File... and choose it. Save the workbook
                    as .xlsm in this folder (next to README.txt): the module
                    then finds win32\\RUDID32.dll or win64\\RUDID32.dll by
                    itself. Elsewhere, set RudidDllFolder to the DLL's folder.
rudid32.pas         the Pascal unit (Free Pascal, Delphi): put it on the
                    unit search path of your program.
win32\\RUDID32.dll   the library for 32-bit Office and 32-bit programs.
win32\\ZAREVIRU.INI  its settings: DIR=..\\data names the data folder below.
win64\\RUDID32.dll   the library for 64-bit Office and 64-bit programs
                    (Office is 64-bit unless it was installed otherwise).
win64\\ZAREVIRU.INI  its settings, the same.
data\\zarude.dat     the saturation table by pressure.
data\\vevuzu.dat     the saturation table by temperature.
data\\didizar.dat    the single-phase table.
data\\default.cfg    the units the worksheet functions take and give
                    (bar, C, kJ/kg, ... as shipped).

Keep win32, win64 and data side by side: each ZAREVIRU.INI finds the
tables through DIR=..\\data. A ZAREVIRU.INI in the Windows directory, if
your machine has one from an older installation, comes first.

First worksheet
---------------
=AQPPTH(6.3; 161)                  enthalpy of steam at 6.3 bar and 161 C,
                                   about 2758.9 kJ/kg (refined answer)
=AQPPTH_TABLE(6.3; 161)            the table's answer, 1636.1
=RudidCaution("AQPPTH_TABLE"; 6.3; 161)
                                   why to be careful of that one
=RudidMessage("AQPPT"; 300)        why a state has no answer

(Use , instead of ; where Excel's list separator is a comma.)
More: docs/windows.md and docs/pascal.md in the source distribution.
"""


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    source, win32, win64, output = (pathlib.Path(a) for a in argv[1:])
    entries = [
        ("README.txt", README.replace("\n", "\r\n").encode()),
        ("RUDID32.bas", (source / "examples" / "excel" / "RUDID32.bas").read_bytes()),
        ("rudid32.pas", (source / "pascal" / "rudid32.pas").read_bytes()),
        ("win32/RUDID32.dll", win32.read_bytes()),
        ("win32/ZAREVIRU.INI", INI.replace("\n", "\r\n").encode()),
        ("win64/RUDID32.dll", win64.read_bytes()),
        ("win64/ZAREVIRU.INI", INI.replace("\n", "\r\n").encode()),
    ] + [(f"data/{name}", (source / "data" / name).read_bytes()) for name in DATA_FILES]
    output.parent.mkdir(parents=True, exist_ok=True)
    partial = output.with_name(output.name + ".part")
    # Fixed dates: the same inputs give the same zip.
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as bundle:
        for name, data in entries:
            info = zipfile.ZipInfo(f"{TOP}/{name}", date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            bundle.writestr(info, data)
    partial.replace(output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
