"""Set-up of the ctypes module's tests. The module under test loads the library named by RUDID32_LIBRARY (set by
CTest) with a private copy of the tables whose default.cfg selects the
library's internal units: bar, C, kJ/kg, kJ/kg,K and m3/kg."""

import math
import os
import shutil
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

TABLES = ("zarude.dat", "vevuzu.dat", "didizar.dat")


def make_data_directory(directory, words=None):
    """Copies the tables into directory, writes default.cfg and an INI that
    names it; returns the INI's path."""
    source = Path(os.environ.get("RUDID32_DATA", ROOT / "data"))
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    for name in TABLES:
        shutil.copy(source / name, directory / name)
    selections = [0] * 31
    selections[12] = 1  # m3/kg
    for word, value in (words or {}).items():
        selections[word] = value
    (directory / "default.cfg").write_bytes(b"".join(v.to_bytes(2, "little", signed=True) for v in selections))
    ini = directory / "ZAREVIRU.INI"
    ini.write_text("[STARTUP]\nDIR=%s\n" % directory)
    return ini


def single_call(function, *arguments):
    """What one scalar call answers, as evaluate() reports a row: (value, 0),
    or (NaN, code) when it raised."""
    import rudid32
    try:
        return function(*arguments), 0
    except rudid32.RudidRangeError as error:
        return math.nan, error.code
    except rudid32.RudidFailure as error:
        return math.nan, error.code


_session = tempfile.mkdtemp(prefix="rudid32-python-")
# No test reads the units of the user running it.
os.environ["XDG_CONFIG_HOME"] = str(Path(_session) / "config")
os.environ.pop("RUDID32_UNITS", None)
os.environ["ZAREVIRU_INI"] = str(make_data_directory(Path(_session) / "data"))
