"""Helpers of the rudid32 tool's tests. The tool (RUDID32_CLI, set by CTest)
runs against private copies of the tables, named to the library through
ZAREVIRU_INI, so that no test touches the shared configuration. Reference
values come from the library itself through the ctypes module
(RUDID32_LIBRARY), loaded with a copy whose default.cfg selects the
internal units."""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

TABLES = ("zarude.dat", "vevuzu.dat", "didizar.dat")
INTERNAL_UNITS = {12: 1}  # all first units but m3/kg: bar, C, kJ/kg, kJ/kg,K


def selection_bytes(words):
    selections = [0] * 31
    for word, value in words.items():
        selections[word] = value
    return b"".join(v.to_bytes(2, "little", signed=True) for v in selections)


class DataDirectory:
    """A copy of the tables with its own default.cfg and INI."""

    def __init__(self, path, words=INTERNAL_UNITS):
        source = Path(os.environ.get("RUDID32_DATA", ROOT / "data"))
        self.path = Path(path)
        self.path.mkdir(parents=True, exist_ok=True)
        for name in TABLES:
            shutil.copy(source / name, self.path / name)
        self.config = self.path / "default.cfg"
        self.config.write_bytes(selection_bytes(words))
        self.ini = self.path / "ZAREVIRU.INI"
        self.ini.write_text("[STARTUP]\nDIR=%s\n" % self.path)

    def run(self, *arguments, input=None, check=None):
        """Runs the tool; check=N asserts the exit status. The timeout only
        stops a hung tool: on a loaded two-core machine a batch of many
        rows can take a minute."""
        env = dict(os.environ, ZAREVIRU_INI=str(self.ini))
        result = subprocess.run([os.environ["RUDID32_CLI"], *map(str, arguments)], input=input,
                                capture_output=True, text=True, env=env, timeout=300)
        if check is not None:
            assert result.returncode == check, (result.stdout, result.stderr)
        return result


# No test reads the units of the user running it.
os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(prefix="rudid32-cli-config-")
os.environ.pop("RUDID32_UNITS", None)
_reference = DataDirectory(tempfile.mkdtemp(prefix="rudid32-cli-reference-"))
os.environ["ZAREVIRU_INI"] = str(_reference.ini)
