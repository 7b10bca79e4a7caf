"""Units chosen for one process (use_units, RUDID32_UNITS, the user's file)
answer exactly as a library configured with them, leave the shared
default.cfg and the temporary directory as they were, and a missing or
short default.cfg is warned of once. Each case is a fresh process: the
library reads its units once, when it loads."""

import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

from module_support import ROOT, make_data_directory

PROBE = """
import json, sys, warnings
warnings.simplefilter("default")
import rudid32
exec(sys.argv[1])
print(json.dumps([rudid32.units()["pressure"], rudid32.units()["temperature"], rudid32.saturation_temperature(14.7),
                  rudid32.enthalpy_pt(145, 572), rudid32.evaluate("AQPPHT", [145.0, 1450.0], 1300.0)[0].tolist()]))
"""
PSI_F = {3: 10, 6: 2, 5: 3}  # psi, F, Btu/lbm


def probe(ini, tmp_path, setup="", **env):
    environment = dict(os.environ, ZAREVIRU_INI=str(ini), TMPDIR=str(tmp_path / "tmp"),
                       XDG_CONFIG_HOME=str(tmp_path / "config"), PYTHONPATH=str(ROOT / "python"))
    environment.update(env)
    (tmp_path / "tmp").mkdir(exist_ok=True)
    result = subprocess.run([sys.executable, "-c", PROBE, setup], capture_output=True, text=True, env=environment,
                            timeout=300)
    return result


@pytest.fixture
def installed(tmp_path):
    return make_data_directory(tmp_path / "installed")


def expected(tmp_path):
    result = probe(make_data_directory(tmp_path / "configured", PSI_F), tmp_path)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)


@pytest.mark.parametrize("how", ["use_units", "variable", "user file"])
def test_chosen_units_answer_as_a_library_configured_with_them(installed, tmp_path, how):
    before = (installed.parent / "default.cfg").read_bytes()
    if how == "use_units":
        result = probe(installed, tmp_path, 'rudid32.use_units(pressure="psi", temperature="F", enthalpy="Btu/lbm")')
    elif how == "variable":
        result = probe(installed, tmp_path, RUDID32_UNITS="pressure=psi,temperature=F,specific enthalpy=Btu/lbm")
    else:
        (tmp_path / "config" / "rudid32").mkdir(parents=True)
        (tmp_path / "config" / "rudid32" / "units").write_text("pressure = psi\ntemperature = F\nenthalpy = Btu/lbm\n")
        result = probe(installed, tmp_path)
    assert result.returncode == 0, result.stderr
    assert json.loads(result.stdout) == expected(tmp_path)
    assert (installed.parent / "default.cfg").read_bytes() == before
    assert os.listdir(tmp_path / "tmp") == []  # nothing is written: the library opens a context


def test_use_units_after_the_first_use_and_wrong_names_are_refused(installed, tmp_path):
    late = probe(installed, tmp_path, 'rudid32.saturation_temperature(1); rudid32.use_units(pressure="psi")')
    assert late.returncode != 0 and "RuntimeError: the library is loaded already" in late.stderr
    wrong = probe(installed, tmp_path, 'rudid32.use_units(pressure="furlongs")')
    # The library's reason, with where the choice was made.
    assert wrong.returncode != 0 and 'use_units(): units: pressure has no unit "furlongs"; choose one of: bar' \
        in wrong.stderr


@pytest.mark.parametrize("content", [None, b"\x00\x00\x01"])
def test_a_missing_or_short_unit_file_is_warned_of_once(installed, tmp_path, content):
    config = installed.parent / "default.cfg"
    config.unlink()
    if content is not None:
        config.write_bytes(content)
    result = probe(installed, tmp_path)
    assert result.returncode == 0, result.stderr
    warned = [line for line in result.stderr.splitlines() if "RuntimeWarning" in line]
    assert len(warned) == 1 and "default.cfg" in warned[0] and "first unit" in warned[0]
    assert "RuntimeWarning" not in probe(make_data_directory(tmp_path / "whole"), tmp_path).stderr


def test_later_choices_are_over_earlier_ones_and_a_wrong_one_changes_nothing(installed, tmp_path):
    setup = ('rudid32.use_units(pressure="bar", temperature="F")\n'
             'try:\n    rudid32.use_units(pressure="furlongs")\nexcept ValueError:\n    pass\n'
             'rudid32.use_units(pressure="psi", enthalpy="Btu/lbm")')
    result = probe(installed, tmp_path, setup)
    assert result.returncode == 0, result.stderr
    assert json.loads(result.stdout) == expected(tmp_path)
    # A wrong name in the variable is named with it, at the first use.
    wrong = probe(installed, tmp_path, RUDID32_UNITS="pressure=psi;temperature=Q")
    assert wrong.returncode != 0 and 'RUDID32_UNITS: units: temperature has no unit "Q"' in wrong.stderr


def test_messages_conversions_and_the_handle_follow_the_chosen_units(installed, tmp_path):
    report = ('from rudid32 import _library\n'
              'library = _library.library()\n'
              'print(json.dumps([rudid32.error_meaning(-1001), rudid32.error_meaning(-1004, "AQPPT"),\n'
              '                  rudid32.error_meaning(-1002, "AQPPTH"), library.RudidToConfiguredUnit(3, 1.0),\n'
              '                  library.RudidFromConfiguredUnit(6, 212.0), rudid32.State(p=145, T=572).h,\n'
              '                  _library.context() is not None]))')
    chosen = probe(installed, tmp_path, 'rudid32.use_units(pressure="psi", temperature="F", enthalpy="Btu/lbm")\n'
                   + report)
    configured = probe(make_data_directory(tmp_path / "configured", PSI_F), tmp_path, report)
    assert chosen.returncode == 0 and configured.returncode == 0, chosen.stderr + configured.stderr
    chosen, configured = (json.loads(result.stdout.splitlines()[0]) for result in (chosen, configured))
    assert chosen[:-1] == configured[:-1] and "psi" in chosen[0] and "F" in chosen[2]
    assert chosen[-1] and not configured[-1]  # a context only where units were chosen


def test_a_context_for_another_process_settings_answers_as_that_process(installed, tmp_path):
    import numpy

    import rudid32
    from rudid32 import _evaluate, _library
    settings = (str(installed.parent), "pressure=psi;temperature=F;enthalpy=Btu/lbm", 0)
    handle = _library.context_for(settings)
    assert handle is not None and _library.context_for(settings) is handle  # opened once
    values, codes = _evaluate.evaluate_arrays("AQPPHT", [145.0, 1450.0], 1300.0, context=handle)
    assert values.tolist() == expected(tmp_path)[4] and codes.tolist() == [0, 0]
    assert _library.context_for(_library.settings()) is _library.context()
    with pytest.raises(ValueError, match='pressure has no unit "furlongs"'):
        _library.context_for((None, "pressure=furlongs", 0))
    assert rudid32.units()["pressure"] == "bar"  # the package's own context is untouched
    assert numpy.isfinite(rudid32.enthalpy_pt(10.0, 300.0))
