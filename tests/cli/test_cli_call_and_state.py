"""One property function from the command line, and the whole state from
two properties: values exactly as the library answers (seven digits, or
exactly with --exact), units as configured, the phase, refusals in words
with the documented exit statuses."""

import csv
import ctypes
import io
import itertools
import math
import os
import resource
import signal
import subprocess

import pytest

import rudid32
from cli_support import INTERNAL_UNITS, selection_bytes


def value_and_unit(text):
    """The number and unit of a value, without the other kind of answer
    that state shows beside it where the two differ."""
    number, _, unit = text.strip().split("   (")[0].partition(" ")
    return float(number), unit


def test_result_prints_with_its_unit_and_reads_back_exactly(data):
    result = data.run("--table", "--exact", "AQPPHT", 10, 3000, check=0)
    value, unit = value_and_unit(result.stdout)
    assert value == rudid32.temperature_ph(10, 3000, refined=False)
    assert unit == "C"


def test_export_name_is_matched_without_case_and_quality_has_no_unit(data):
    value, unit = value_and_unit(data.run("--exact", "aqpphq", 10, 2000, check=0).stdout)
    assert value == rudid32.quality_ph(10, 2000) and 0 < value < 1
    assert unit == ""


def test_digits_and_value_only_shape_the_output(data):
    assert data.run("--digits", 4, "AQPPT", 10, check=0).stdout == "179.9 C\n"
    assert float(data.run("--exact", "--value-only", "AQPPT", 10, check=0).stdout) == rudid32.saturation_temperature(10)
    assert data.run("AQPPT", 1, check=0).stdout == "99.60592 C\n"  # seven significant digits by default
    assert data.run("--exact", "AQPPT", 1, check=0).stdout == repr(rudid32.saturation_temperature(1)) + " C\n"


@pytest.mark.parametrize("arguments", [("AQPPT", "-inf"), ("AQPPT", "nan"), ("AQPPT", "inf"), ("AQPPHT", 10, "-nan"),
                                       ("state", "p=10", "h=nan"), ("state", "T=-inf", "x=0.5")])
def test_non_finite_arguments_are_refused_before_the_library_is_called(data, arguments):
    result = data.run(*arguments, check=2)
    assert "not a finite number" in result.stderr and result.stdout == ""


def test_numbers_beyond_a_double_read_as_the_nearest_double(data):
    # Too small: zero (a pressure out of range); too large: infinity, refused.
    for tiny in ("1e-400", "-1e-400", "4.9e-324", "0.%s1" % ("0" * 400)):
        assert "error -1001" in data.run("AQPPT", tiny, check=1).stderr
    for huge in ("1e400", "-1e400"):
        assert "is not a finite number" in data.run("AQPPT", huge, check=2).stderr


def test_negative_numbers_are_values_not_options(data):
    assert "-1001" in data.run("AQPPT", "-5", check=1).stderr
    assert "-1002" in data.run("AQPPTH", 10, "-1e-3", check=1).stderr
    assert "-1003" in data.run("state", "p=10", "x=-0.5", check=1).stdout


def test_range_messages_are_in_the_configured_units(data):
    data.config.write_bytes(selection_bytes({3: 10, 6: 2, 12: 1}))  # psi, F
    pressure = data.run("AQPPT", 5000, check=1).stderr
    temperature = data.run("AQPPTH", 100, 2000, check=1).stderr
    assert "psi" in pressure and "bar" not in pressure
    assert " F" in temperature and " C" not in temperature


@pytest.mark.parametrize("arguments, code, words", [
    (("AQPPT", 300), -1004, "pressure above 221.2 bar"),
    (("AQPPT", -5), -1001, "pressure below 0.01 bar"),
    (("AQPTP", 400), -1005, "temperature above 374.15 C"),
    (("AQPPTH", 10, 900), -1002, "above 800 C"),
    (("AQPPQH", 10, 2), -1003, "quality below 0 or above 1"),
    (("AQPPHT", 10, 99999), -1014, "enthalpy outside the table"),
    (("AQPPST", 10, 99), -1012, "entropy outside the table"),
    (("AQPPVT", 10, 1e6), -1013, "specific volume outside the table"),
])
def test_error_code_is_told_in_words_with_exit_status_1(data, arguments, code, words):
    result = data.run(*arguments, check=1)
    assert result.stdout == ""
    assert str(code) in result.stderr and words in result.stderr


def test_failure_without_result_prints_message_and_code_with_exit_status_3(data):
    result = data.run("AQPPT", "1e39", check=3)
    assert "Floating point overflow" in result.stderr and "205" in result.stderr


def test_missing_table_is_a_failure(data):
    (data.path / "zarude.dat").unlink()
    missing = data.path / "zarude.dat"
    assert f"File not found: {missing} (code 2)" in data.run("AQPPT", 10, check=3).stderr


@pytest.mark.parametrize("arguments", [("AQPPT", "ten"), ("AQPPT", 1, 2), ("AQPPHT", 10), ("AQPPXX", 1)])
def test_wrong_command_line_exits_2(data, arguments):
    assert data.run(*arguments, check=2).stdout == ""


def run_into(data, stdout, *arguments, input=None, limit=None):
    """Runs the tool with its standard output on stdout (None: closed),
    and files limited to limit bytes (a full disk)."""
    def prepare():
        if stdout is None:
            os.close(1)
        if limit is not None:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini))
    return subprocess.run([os.environ["RUDID32_CLI"], *map(str, arguments)], input=input, stdout=stdout,
                          stderr=subprocess.PIPE, text=True, env=env, timeout=60, preexec_fn=prepare)


@pytest.mark.parametrize("arguments", [("AQPPT", 10), ("state", "p=10", "T=300"), ("units",),
                                       ("batch", "AQPPT"), ("batch", "state", "p", "T"), ("--help",)])
def test_output_that_cannot_be_written_is_a_failure_with_exit_status_3(data, arguments):
    rows = "".join("%d,300\n" % p for p in range(1, 200)) * 50
    with open("/dev/full", "w") as full:
        result = run_into(data, full, *arguments, input=rows)
    assert result.returncode == 3, result.stderr
    assert "cannot write to standard output: No space left on device" in result.stderr
    result = run_into(data, None, *arguments, input=rows)
    assert result.returncode == 3, result.stderr
    assert "cannot write to standard output: Bad file descriptor" in result.stderr


def test_batch_into_a_full_disk_stops_and_exits_3(data, tmp_path):
    rows = "".join("%d\n" % (p % 200 + 1) for p in range(200000))
    with open(tmp_path / "out.csv", "w") as out:
        result = run_into(data, out, "batch", "AQPPT", input=rows, limit=65536)
    assert result.returncode == 3, result.stderr
    assert "cannot write to standard output: File too large" in result.stderr
    assert os.path.getsize(tmp_path / "out.csv") == 65536


def read_state(output):
    """{label: text} of the state's seven lines and its derived properties'
    lines; the caution lines under "caution"."""
    lines = {"caution": []}
    for line in output.splitlines():
        if line.startswith("caution: "):
            lines["caution"].append(line)
        else:
            label, text = line[:20].strip(), line[21:]
            lines[label] = text
    assert list(lines) == ["caution", "temperature", "pressure", "specific volume", "specific enthalpy",
                           "specific entropy", "quality", "phase", "density", "internal energy", "cp", "cv",
                           "speed of sound", "viscosity", "thermal conductivity", "Prandtl number",
                           "surface tension"]
    return lines


def test_state_from_pressure_and_enthalpy(data):
    state = read_state(data.run("--table", "--exact", "state", "p=10", "h=3000", check=0).stdout)
    assert value_and_unit(state["temperature"]) == (rudid32.temperature_ph(10, 3000, refined=False), "C")
    assert value_and_unit(state["pressure"]) == (10, "bar")
    assert value_and_unit(state["specific volume"]) == (rudid32.volume_ph(10, 3000, refined=False), "m3/kg")
    assert value_and_unit(state["specific enthalpy"]) == (3000, "kJ/kg")
    assert value_and_unit(state["specific entropy"]) == (rudid32.entropy_ph(10, 3000, refined=False), "kJ/kg,K")
    assert state["quality"] == "none (single phase)"
    assert state["phase"] == "superheated vapour"


@pytest.mark.parametrize("given, expected", [
    (("T=150", "p=10"), {"specific enthalpy": rudid32.enthalpy_pt(10, 150)}),
    (("p=10", "T=300"), {"specific entropy": rudid32.entropy_pt(10, 300)}),
    (("p=10", "s=6"), {"temperature": rudid32.saturation_temperature(10), "quality": rudid32.quality_ps(10, 6)}),
    (("p=10", "v=0.1"), {"specific enthalpy": rudid32.enthalpy_pv(10, 0.1)}),
    (("p=10", "x=0.5"), {"temperature": rudid32.saturation_temperature(10),
                         "specific volume": rudid32.volume_px(10, 0.5)}),
    (("T=100", "x=1"), {"pressure": rudid32.saturation_pressure(100), "specific enthalpy": rudid32.enthalpy_tx(100, 1)}),
])
def test_state_from_each_pair_uses_the_matching_exports(data, given, expected):
    state = read_state(data.run("--exact", "state", *given, check=0).stdout)
    for label, value in expected.items():
        assert value_and_unit(state[label])[0] == value, label


def test_state_above_the_critical_pressure_has_no_quality(data):
    state = read_state(data.run("--exact", "state", "p=500", "T=300", check=0).stdout)
    assert state["quality"].startswith("none")
    assert value_and_unit(state["specific enthalpy"])[0] == rudid32.enthalpy_pt(500, 300)
    assert state["phase"] == "compressed liquid"


def test_state_on_the_saturation_line_reports_the_error_per_property(data):
    t = rudid32.saturation_temperature(10)
    result = data.run("state", "p=10", "T=%r" % t, check=1)
    state = read_state(result.stdout)
    assert "-1015" in state["specific enthalpy"]
    assert not state["quality"].startswith(("0", "1"))
    assert state["phase"].startswith("saturated liquid or vapour")


@pytest.mark.parametrize("table", [[], ["--table"]])
def test_a_property_refused_on_the_saturation_line_has_no_single_phase_beside_it(data, table):
    # 39 C lies within the tables' uncertainty of the saturation temperature
    # at 0.07 bar: the properties are refused as on the line, and so is the phase.
    state = read_state(data.run(*table, "state", "p=0.07", "T=39", check=1).stdout)
    assert "-1015" in state["specific enthalpy"]
    assert state["phase"].startswith("saturated liquid or vapour")
    assert state["quality"].startswith("undetermined")


@pytest.mark.parametrize("given, message", [
    (("q=100", "x=1"), 'unknown key "q"'),
    (("h=1", "H=2"), "do not fix a state"),
    (("p=10", "h=abc"), "not a number"),
    (("p10", "h=1"), "KEY=VALUE"),
])
def test_state_refuses_what_no_function_answers(data, given, message):
    assert message in data.run("state", *given, check=2).stderr


def phase_of(data, *given):
    state = read_state(data.run("--exact", "state", *given).stdout)
    return state["phase"], state["quality"]


def same_state_by_every_pair(p, t):
    """The state at p, t given by pressure and each of T, h, s, v."""
    return [("p=%r" % p, "T=%r" % t), ("p=%r" % p, "h=%r" % rudid32.enthalpy_pt(p, t)),
            ("p=%r" % p, "s=%r" % rudid32.entropy_pt(p, t)), ("p=%r" % p, "v=%r" % rudid32.volume_pt(p, t))]


@pytest.mark.parametrize("p, t, phase, quality", [
    (10, 300, "superheated vapour", "none (single phase)"),
    (10, 100, "compressed liquid", "none (single phase)"),
    (300, 500, "supercritical fluid", "none (above the critical pressure)"),
    (300, 300, "compressed liquid", "none (above the critical pressure)"),
])
def test_phase_is_the_same_whichever_pair_gives_the_state(data, p, t, phase, quality):
    for given in same_state_by_every_pair(p, t):
        assert phase_of(data, *given) == (phase, quality), given


def test_phase_on_and_inside_the_dome(data):
    hf, hg, hx = (rudid32.enthalpy_px(10, x) for x in (0, 1, 0.25))
    assert phase_of(data, "p=10", "x=0") == ("saturated liquid", "0")
    assert phase_of(data, "p=10", "h=%r" % hf) == ("saturated liquid", "0")
    assert phase_of(data, "p=10", "h=%r" % hg) == ("saturated vapour", "1")
    assert phase_of(data, "T=150", "x=1") == ("saturated vapour", "1")
    phase, quality = phase_of(data, "p=10", "h=%r" % hx)
    assert phase == "wet steam" and float(quality) == pytest.approx(0.25, abs=1e-6)
    assert phase_of(data, "p=10", "x=0.25")[0] == "wet steam"


# The batch columns of the six keys, and how near a state found must give
# back its pair (the documented tolerance: 1e-4 of the value, a temperature
# on the absolute scale, floors 1 kJ/kg and 0.01 kJ/kg,K where h and s vanish).
STATE_COLUMNS = {"T": "temperature [C]", "p": "pressure [bar]", "v": "specific volume [m3/kg]",
                 "h": "specific enthalpy [kJ/kg]", "s": "specific entropy [kJ/kg,K]", "x": "quality"}


def gives_back(key, given, answer):
    scale = given + 273.15 if key == "T" else max(abs(given), {"h": 1, "s": 0.01, "x": 1}.get(key, 0))
    return abs(answer - given) <= 1e-4 * scale


def batch_states(data, keys, rows):
    text = "".join("%r,%r\n" % row for row in rows)
    output = data.run("--table", "--exact", "batch", "--threads", "2", "state", *keys, input=text).stdout
    return list(csv.DictReader(io.StringIO(output)))


def random_states(data, count, seed=20240611):
    """count states of each phase: compressed liquid, superheated and
    supercritical from (p, T), wet steam from (p, x)."""
    import random
    rng = random.Random(seed)
    by_temperature, wet = [], []
    for _ in range(count):
        p = 10 ** rng.uniform(-2, math.log10(221))
        ts = rudid32.saturation_temperature(p)
        by_temperature += [(p, rng.uniform(0, ts - 0.1)), (p, rng.uniform(ts + 0.1, 800)),
                           (10 ** rng.uniform(math.log10(222), 3), rng.uniform(375, 800))]
        wet.append((p, rng.uniform(0, 1)))
    return [row for keys, rows in ((("p", "T"), by_temperature), (("p", "x"), wet))
            for row in batch_states(data, keys, rows) if row["status"] in ("ok", "caution")]


def test_every_pair_of_a_random_state_gives_it_back_or_no_state(data):
    states = random_states(data, 40)
    for keys in itertools.combinations("pThsvx", 2):
        # Wet steam alone has a quality, and is not fixed by p and T.
        given = [(float(row[STATE_COLUMNS[keys[0]]]), float(row[STATE_COLUMNS[keys[1]]])) for row in states
                 if row[STATE_COLUMNS[keys[0]]] and row[STATE_COLUMNS[keys[1]]]
                 and not (keys == ("p", "T") and row["phase"] == "wet steam")]
        none = 0
        for pair, row in zip(given, batch_states(data, keys, given)):
            if row["status"] == "out-of-range" and "no state in the tables" in row["message"]:
                none += 1
                continue
            assert row["status"] in ("ok", "caution"), (keys, pair, row)
            for key, value in zip(keys, pair):
                assert gives_back(key, value, float(row[STATE_COLUMNS[key]])), (keys, pair, row)
        # A few liquids at the lowest pressures, whose h and s hardly depend
        # on the pressure, have no crossing that gives them back.
        assert len(given) >= 40 and none <= 0.1 * len(given), (keys, none, len(given))


def test_a_liquid_by_temperature_and_entropy_is_not_taken_from_the_saturation_line(data):
    # The entropy at 28.9 C crosses this value first where the table cell
    # mixes the liquid with the vapour below 0.043 bar; the state is the
    # liquid at 1.5565 bar, or none, never the 20.2 C the mixed cell gives.
    result = data.run("--table", "--exact", "state", "T=28.93808970579081", "s=0.4218508783942525")
    state = read_state(result.stdout)
    if result.returncode == 1:
        assert "no state in the tables" in state["temperature"]
    else:
        assert result.returncode == 0 and state["phase"] == "compressed liquid"
        assert value_and_unit(state["temperature"])[0] == pytest.approx(28.93809, abs=0.03)
        assert value_and_unit(state["pressure"])[0] == pytest.approx(1.5565, rel=1e-3)


@pytest.mark.parametrize("table", ["zarude.dat", "vevuzu.dat", "didizar.dat"])
@pytest.mark.parametrize("given", [("p=10", "T=300"), ("p=10", "h=3000"), ("p=10", "h=1000"), ("p=300", "s=5")])
def test_with_a_table_missing_no_quality_or_phase_is_made_up(data, table, given):
    complete = read_state(data.run("--exact", "state", *given, check=0).stdout)
    (data.path / table).unlink()
    state = read_state(data.run("--exact", "state", *given).stdout)
    failed = [label for label, text in state.items() if label != "caution" and text.startswith("failed")]
    if state["phase"] != "unknown":
        assert state["phase"] == complete["phase"]
    if state["quality"][:1].isdigit():
        assert state["quality"] == complete["quality"] and state["phase"] != "unknown"
    assert failed or state == complete


def library_has_state_flags():
    return hasattr(ctypes.CDLL(os.environ["RUDID32_LIBRARY"]), "RudidStateFlags")


def test_caution_where_the_tables_are_poor_and_none_where_they_are_good(data):
    if not library_has_state_flags():
        pytest.skip("the library does not report state flags")
    # The table answers next to the saturation line are poor; the refined
    # answer (the default) there is not flagged.
    poor = data.run("--table", "state", "p=1.01325", "T=101", check=0)
    state = read_state(poor.stdout)
    assert state["phase"] == "superheated vapour"
    assert state["caution"] and all(len(line) > 40 for line in state["caution"])
    assert read_state(data.run("--table", "state", "p=10", "T=300", check=0).stdout)["caution"] == []
    assert read_state(data.run("state", "p=1.01325", "T=101", check=0).stdout)["caution"] == []
    single = data.run("--table", "AQPPTH", 1.01325, 101, check=0)
    assert single.stdout == "%s kJ/kg\n" % format(rudid32.enthalpy_pt(1.01325, 101, refined=False), ".7g")
    assert single.stderr.splitlines() and all(line.startswith("caution: ") for line in single.stderr.splitlines())
    assert data.run("--table", "AQPPTH", 10, 300, check=0).stderr == ""


def run_with_flags(data, flags, *arguments, input=None):
    """Runs the tool with the library's flags replaced by a stand-in that
    answers `flags` for every state."""
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini), LD_PRELOAD=os.environ["RUDID32_FLAGS_STANDIN"],
               RUDID32_STANDIN_FLAGS=str(flags))
    # The stand-in replaces the table answers' flags: the reasons below are theirs.
    return subprocess.run([os.environ["RUDID32_CLI"], "--table", *map(str, arguments)], input=input, capture_output=True,
                          text=True, env=env, timeout=300)


REASONS = {1: "not all of the state's phase", 2: "uncertainty of the tables' saturation line", 4: "critical point",
           8: "coarse"}


@pytest.mark.parametrize("flags", [1, 2, 4, 8, 5, 15])
def test_one_caution_line_per_reason(data, flags):
    state = read_state(run_with_flags(data, flags, "state", "p=10", "T=300").stdout)
    expected = [words for bit, words in REASONS.items() if flags & bit]
    assert len(state["caution"]) == len(expected)
    for line, words in zip(state["caution"], expected):
        assert words in line and "up to" in line and "{" not in line
    single = run_with_flags(data, flags, "AQPPTH", 10, 300)
    assert single.returncode == 0 and single.stdout == "3051.703 kJ/kg\n"  # the value alone on standard output
    # The same reasons, each naming the properties it applies to: every
    # property of the state that has a value, the result of the function.
    assert [line.replace("caution: T, p, v, h, s: ", "caution: h: ") for line in state["caution"]] == \
        single.stderr.splitlines()


def test_no_caution_without_flags_and_none_for_an_answer_out_of_range(data):
    assert read_state(run_with_flags(data, 0, "state", "p=10", "T=300").stdout)["caution"] == []
    assert run_with_flags(data, 0, "AQPPTH", 10, 300).stderr == ""
    refused = run_with_flags(data, 15, "AQPPTH", 10, 900)
    assert refused.returncode == 1 and "caution" not in refused.stderr


def test_a_reason_the_tool_does_not_know_is_still_told(data):
    lines = run_with_flags(data, 16 | 2, "AQPPTH", 10, 300).stderr.splitlines()
    assert len(lines) == 2 and REASONS[2] in lines[0] and "16" in lines[1] and "IAPWS-IF97" in lines[1]


def test_batch_flags_column_names_the_reasons(data):
    rows = list(csv.reader(io.StringIO(run_with_flags(data, 5, "batch", "AQPPTH", input="10,300\n10,900\n").stdout)))
    assert rows[0][2:4] == ["specific enthalpy [kJ/kg]", "state_flags"]
    assert rows[1][3] == "mixed-phase-cell+critical-region" and rows[2][3] == ""
    assert rows[1][4] == "caution" and "mixed-phase-cell (" in rows[1][6] and "; critical-region (" in rows[1][6]
    assert rows[2][4] == "out-of-range"  # a refused state has no caution
    state = list(csv.reader(io.StringIO(run_with_flags(data, 8, "batch", "state", "p", "T", input="10,300\n").stdout)))
    assert "state_flags" not in state[0]
    assert [state[1][state[0].index(key + "_flags")] for key in "TpvhsX".replace("X", "x")] == \
        ["coarse-grid"] * 5 + [""]  # a single phase has no quality, and so no flags for it
    assert state[1][state[0].index("status")] == "caution"
    assert state[1][-1].startswith("caution: T, p, v, h, s: coarse-grid (")


def test_caution_figures_follow_the_configured_units(data):
    data.config.write_bytes(selection_bytes({3: 10, 6: 2, 12: 1}))  # psi, F
    lines = read_state(run_with_flags(data, 6, "state", "p=145", "T=572").stdout)["caution"]
    assert "0.486 F" in lines[0] and "18 F by 145 psi" in lines[1]
    data.config.write_bytes(selection_bytes(INTERNAL_UNITS))
    internal = read_state(run_with_flags(data, 6, "state", "p=10", "T=300").stdout)["caution"]
    assert "0.27 C" in internal[0] and "10 C by 10 bar" in internal[1]


def test_each_property_of_a_state_has_its_own_cautions_with_what_to_do(data):
    # Near the critical point the table's volume, enthalpy and entropy are
    # all poor there, and its grid is coarse for the volume alone.
    state = read_state(data.run("--table", "state", "p=220", "T=374", check=0).stdout)
    critical = [line for line in state["caution"] if "critical point" in line]
    coarse = [line for line in state["caution"] if "coarse" in line]
    assert len(critical) == 1 and critical[0].startswith("caution: v, h, s: ")
    assert critical[0].endswith("no table interpolation is reliable here; use IAPWS-IF97")
    assert len(coarse) == 1 and coarse[0].startswith("caution: v: ")
    assert coarse[0].endswith("use the refined answer (the default, without --table) or give another pair")
    rows = list(csv.reader(io.StringIO(data.run("--table", "batch", "state", "p", "T", input="220,374\n",
                                                check=0).stdout)))
    flags = {key: rows[1][rows[0].index(key + "_flags")] for key in ("T", "p", "v", "h", "s", "x")}
    assert flags == {"T": "", "p": "", "v": "critical-region+coarse-grid", "h": "critical-region",
                     "s": "critical-region", "x": ""}
    assert "; v: coarse-grid (" in rows[1][-1] and rows[1][-1].startswith("caution: v, h, s: critical-region (")
    # The refined answer there is flagged too, and says to use the formulation.
    refined = read_state(data.run("state", "p=220", "T=374", check=0).stdout)["caution"]
    assert refined and all(line.endswith("use IAPWS-IF97") for line in refined)
    single = data.run("--table", "AQPPTV", 220, 374, check=0).stderr.splitlines()
    assert single and all(line.startswith("caution: v: ") for line in single)
