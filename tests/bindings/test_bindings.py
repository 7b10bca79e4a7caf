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


def test_vba_module_gives_refined_and_table_answers_and_cautions_for_every_flag():
    header = (ROOT / "include" / "rudid32.h").read_text()
    module = (ROOT / "examples" / "excel" / "RUDID32.bas").read_bytes().decode()
    win64, _, win32 = module.partition("#Else")
    # The context is a pointer: LongPtr in 64-bit Office, Long in 32-bit.
    assert re.search(r"RudidVbOpen Lib \"RUDID32\.dll\" _\r\n[^\r]*\) As LongPtr\r\n", win64)
    assert re.search(r"RudidVbOpen Lib \"RUDID32\.dll\" _\r\n[^\r]*\) As Long\r\n", win32)
    for name in ("RudidVbContextEvaluate", "RudidVbContextFlags", "RudidVbContextMessage"):
        assert re.search(rf"ByVal context As LongPtr, ByVal func As String", win64.split(name, 1)[1][:200]), name
        assert re.search(rf"ByVal context As Long, ByVal func As String", win32.split(name, 1)[1][:200]), name
    for name in re.findall(r"^\s*X\((AQP[A-Z]+),", header, re.M):
        refined = re.search(rf"Public Function {name}\(.*?\r\n(.*?)End Function", module, re.S).group(1)
        table = re.search(rf"Public Function {name}_TABLE\(.*?\r\n(.*?)End Function", module, re.S).group(1)
        assert refined.rstrip().endswith(", why, True)"), name
        assert table.rstrip().endswith(", why, False)"), name
    caution = re.search(r"Public Function RudidCaution\(.*?End Function", module, re.S).group(0)
    for flag in re.findall(r"#define (RUDID_FLAG_\w+)", header):
        assert f"If flags And {flag} Then" in caution, flag
    for words in ("mixed-phase cell", "near saturation", "critical region", "coarse grid", "ill-posed"):
        assert words in caution
