"""The module for numbers: readable functions wired to the right exports,
the library's answers and refusals as floats and exceptions, and how the
library is found."""

import math
import os
import shutil
import subprocess
import sys
import threading

import pytest

import rudid32
from module_support import ROOT, make_data_directory

P = 10.0  # bar


def close(a, b, relative=1e-3, absolute=1e-6):
    return math.isclose(a, b, rel_tol=relative, abs_tol=absolute)


def test_library_answers_with_steam_table_values():
    assert rudid32.saturation_temperature(1.01325) == pytest.approx(100.0, abs=0.1)
    assert rudid32.saturation_pressure(100.0) == pytest.approx(1.01418, abs=0.001)
    assert rudid32.enthalpy_px(1.01325, 0.0) == pytest.approx(419.1, abs=1.0)
    assert rudid32.enthalpy_px(1.01325, 1.0) == pytest.approx(2675.6, abs=2.0)
    assert rudid32.volume_pt(1.0, 20.0) == pytest.approx(0.001002, abs=2e-6)
    assert rudid32.entropy_pt(1.0, 200.0) == pytest.approx(7.834, abs=0.01)
    assert rudid32.data_directory() == os.path.dirname(os.environ["ZAREVIRU_INI"]) + "/"
    assert rudid32.startup_message() == ""


@pytest.mark.parametrize("temperature", [50.0, 250.0, 600.0])
def test_single_phase_functions_invert_each_other(temperature):
    h = rudid32.enthalpy_pt(P, temperature)
    s = rudid32.entropy_pt(P, temperature)
    v = rudid32.volume_pt(P, temperature)
    assert close(rudid32.temperature_ph(P, h), temperature)
    assert close(rudid32.entropy_ph(P, h), s)
    assert close(rudid32.volume_ph(P, h), v)
    assert close(rudid32.temperature_ps(P, s), temperature)
    assert close(rudid32.enthalpy_ps(P, s), h)
    assert close(rudid32.volume_ps(P, s), v)
    assert close(rudid32.temperature_pv(P, v), temperature, relative=1e-2)
    assert close(rudid32.enthalpy_pv(P, v), h, relative=1e-2)
    assert close(rudid32.entropy_pv(P, v), s, relative=1e-2)
    quality = 0.0 if temperature < rudid32.saturation_temperature(P) else 1.0
    for function, value in ((rudid32.quality_ph, h), (rudid32.quality_ps, s), (rudid32.quality_pv, v)):
        assert function(P, value) == quality


def test_two_phase_functions_agree_by_pressure_and_by_temperature():
    x = 0.3
    t = rudid32.saturation_temperature(P)
    assert close(rudid32.saturation_pressure(t), P)
    h, s, v = rudid32.enthalpy_px(P, x), rudid32.entropy_px(P, x), rudid32.volume_px(P, x)
    assert close(rudid32.enthalpy_tx(t, x), h)
    assert close(rudid32.entropy_tx(t, x), s)
    assert close(rudid32.volume_tx(t, x), v)
    assert close(rudid32.quality_ph(P, h), x)
    assert close(rudid32.quality_ps(P, s), x)
    assert close(rudid32.quality_pv(P, v), x)
    assert rudid32.temperature_ph(P, h) == t
    assert close(rudid32.enthalpy_ps(P, s), h)


@pytest.mark.parametrize("function, arguments, code, word", [
    (rudid32.saturation_temperature, (0.0099,), -1001, "0.01 bar"),
    (rudid32.saturation_temperature, (221.3,), -1004, "221.2 bar"),
    (rudid32.saturation_pressure, (-1.0,), -1002, "0 C"),
    (rudid32.saturation_pressure, (375.0,), -1005, "374.15 C"),
    (rudid32.enthalpy_px, (P, 1.5), -1003, "quality"),
    (rudid32.enthalpy_pt, (P, 801.0), -1002, "800 C"),
    (rudid32.temperature_ps, (P, 100.0), -1012, "entropy"),
    (rudid32.temperature_pv, (P, 1e6), -1013, "volume"),
    (rudid32.temperature_ph, (P, 1e5), -1014, "enthalpy"),
])
def test_state_outside_the_tables_raises_range_error(function, arguments, code, word):
    with pytest.raises(rudid32.RudidRangeError) as raised:
        function(*arguments)
    assert raised.value.code == code
    assert word in raised.value.meaning
    assert isinstance(raised.value, ValueError)


def test_state_on_the_saturation_line_raises_range_error():
    with pytest.raises(rudid32.RudidRangeError) as raised:
        rudid32.enthalpy_pt(P, rudid32.saturation_temperature(P))
    assert raised.value.code == -1015


@pytest.mark.parametrize("argument", [1e39, math.inf, math.nan])
def test_argument_the_library_cannot_take_raises_failure(argument):
    with pytest.raises(rudid32.RudidFailure) as raised:
        rudid32.saturation_temperature(argument)
    assert raised.value.code > 0
    assert raised.value.message == rudid32.failure_message(raised.value.code)
    # The failure leaves nothing behind: the next call answers.
    assert rudid32.saturation_temperature(P) > 0


def run_python(script, **environment):
    env = dict(os.environ, PYTHONPATH=str(ROOT / "python"), **environment)
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env)
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_missing_table_file_raises_failure_with_its_message(tmp_path):
    ini = make_data_directory(tmp_path)
    (tmp_path / "zarude.dat").unlink()
    script = ("import rudid32\ntry:\n    rudid32.saturation_temperature(10)\n"
              "except rudid32.RudidFailure as f:\n    print(f.code, f.message)\n"
              "print(rudid32.failure_message(2))\n")
    raised, message = run_python(script, ZAREVIRU_INI=str(ini)).splitlines()
    # The failure names the file; the bare message of the code does not.
    assert raised == f"2 File not found: {tmp_path / 'zarude.dat'}"
    assert message == "File not found"


def test_calls_from_several_threads_keep_their_own_results():
    pressures = [1.0 + i for i in range(8)]
    expected = [rudid32.saturation_temperature(p) for p in pressures]
    seen = [[] for _ in pressures]

    def work(i):
        for _ in range(300):
            seen[i].append(rudid32.saturation_temperature(pressures[i]))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(pressures))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for values, value in zip(seen, expected):
        assert set(values) == {value}


def test_library_beside_the_package_is_found_without_the_variable(tmp_path):
    shutil.copytree(ROOT / "python" / "rudid32", tmp_path / "rudid32")
    (tmp_path / "libRUDID32.so").symlink_to(os.path.realpath(os.environ["RUDID32_LIBRARY"]))
    env = {k: v for k, v in os.environ.items() if k != "RUDID32_LIBRARY"}
    result = subprocess.run([sys.executable, "-c", "import rudid32; print(rudid32.library_path())"],
                            capture_output=True, text=True, env=env, cwd=str(tmp_path))
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == str(tmp_path / "libRUDID32.so")


def test_unloadable_library_is_reported_at_the_first_call_not_at_import():
    output = run_python("import rudid32\ntry:\n    rudid32.saturation_temperature(1)\n"
                        "except OSError as e:\n    print('RUDID32_LIBRARY' in str(e))\n",
                        RUDID32_LIBRARY="/nonexistent/libRUDID32.so")
    assert output.strip() == "True"
