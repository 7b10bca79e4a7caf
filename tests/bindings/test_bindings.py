"""The bindings in other languages follow the public header: the committed
VBA module and Pascal unit are what tools/generate_bindings.py makes of
include/rudid32.h (so no name, ordinal or code can drift), and the VBA
Declare lines have the shape the Windows test vba_harness.exe calls."""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]


def test_committed_bindings_are_generated_from_the_header():
    result = subprocess.run([sys.executable, str(ROOT / "tools" / "generate_bindings.py"), "--check"],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr


def test_vba_declares_every_twin_for_both_bitnesses_as_the_harness_calls_it():
    header = (ROOT / "include" / "rudid32.h").read_text()
    rows = re.findall(r"^\s*X\((AQP[A-Z]+),\s*\d+,\s*([12]),", header, re.M)
    assert len(rows) == 23
    module = (ROOT / "examples" / "excel" / "RUDID32.bas").read_bytes().decode()
    assert "\n" not in module.replace("\r\n", ""), "the VBA editor imports CRLF lines"
    win64, _, win32 = module.partition("#Else")
    assert "#If VBA7 And Win64 Then" in win64
    for name, arity in rows:
        doubles = r"ByVal \w+ As Double, " * int(arity)
        for branch, declare in ((win64, "Declare PtrSafe Function"), (win32, "Declare Function")):
            shape = (rf'Private {declare} RudidVb{name} Lib "RUDID32\.dll" _\r\n\s+'
                     rf"\({doubles}ByRef code As Long\) As Double\r\n")
            assert re.search(shape, branch), f"{declare} RudidVb{name}"
        assert re.search(rf"Public Function {name}\(", module), f"worksheet function {name}"
