"""One property function from the command line, and the whole state from
two properties: values exactly as the library answers, units as
configured, refusals in words with the documented exit statuses."""

import pytest

import rudid32


def value_and_unit(text):
    number, _, unit = text.strip().partition(" ")
    return float(number), unit


def test_result_prints_with_its_unit_and_reads_back_exactly(data):
    result = data.run("AQPPHT", 10, 3000, check=0)
    value, unit = value_and_unit(result.stdout)
    assert value == rudid32.temperature_ph(10, 3000)
    assert unit == "C"


def test_export_name_is_matched_without_case_and_quality_has_no_unit(data):
    value, unit = value_and_unit(data.run("aqpphq", 10, 2000, check=0).stdout)
    assert value == rudid32.quality_ph(10, 2000) and 0 < value < 1
    assert unit == ""


def test_digits_and_value_only_shape_the_output(data):
    assert data.run("--digits", 4, "AQPPT", 10, check=0).stdout == "179.9 C\n"
    assert float(data.run("--value-only", "AQPPT", 10, check=0).stdout) == rudid32.saturation_temperature(10)


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


def read_state(output):
    """{label: text} of the state's six lines."""
    lines = {}
    for line in output.splitlines():
        label, text = line[:18].strip(), line[19:]
        lines[label] = text
    assert list(lines) == ["temperature", "pressure", "specific volume", "specific enthalpy",
                           "specific entropy", "quality"]
    return lines


def test_state_from_pressure_and_enthalpy(data):
    state = read_state(data.run("state", "p=10", "h=3000", check=0).stdout)
    assert value_and_unit(state["temperature"]) == (rudid32.temperature_ph(10, 3000), "C")
    assert value_and_unit(state["pressure"]) == (10, "bar")
    assert value_and_unit(state["specific volume"]) == (rudid32.volume_ph(10, 3000), "m3/kg")
    assert value_and_unit(state["specific enthalpy"]) == (3000, "kJ/kg")
    assert value_and_unit(state["specific entropy"]) == (rudid32.entropy_ph(10, 3000), "kJ/kg,K")
    assert state["quality"] == "1"


@pytest.mark.parametrize("given, expected", [
    (("T=150", "p=10"), {"specific enthalpy": rudid32.enthalpy_pt(10, 150), "quality": 0.0}),
    (("p=10", "T=300"), {"specific entropy": rudid32.entropy_pt(10, 300), "quality": 1.0}),
    (("p=10", "s=6"), {"temperature": rudid32.saturation_temperature(10), "quality": rudid32.quality_ps(10, 6)}),
    (("p=10", "v=0.1"), {"specific enthalpy": rudid32.enthalpy_pv(10, 0.1)}),
    (("p=10", "x=0.5"), {"temperature": rudid32.saturation_temperature(10),
                         "specific volume": rudid32.volume_px(10, 0.5)}),
    (("T=100", "x=1"), {"pressure": rudid32.saturation_pressure(100), "specific enthalpy": rudid32.enthalpy_tx(100, 1)}),
])
def test_state_from_each_pair_uses_the_matching_exports(data, given, expected):
    state = read_state(data.run("state", *given, check=0).stdout)
    for label, value in expected.items():
        assert value_and_unit(state[label])[0] == value, label


def test_state_above_the_critical_pressure_has_no_quality(data):
    state = read_state(data.run("state", "p=500", "T=300", check=0).stdout)
    assert state["quality"].startswith("none")
    assert value_and_unit(state["specific enthalpy"])[0] == rudid32.enthalpy_pt(500, 300)


def test_state_on_the_saturation_line_reports_the_error_per_property(data):
    t = rudid32.saturation_temperature(10)
    result = data.run("state", "p=10", "T=%r" % t, check=1)
    state = read_state(result.stdout)
    assert "-1015" in state["specific enthalpy"]
    assert not state["quality"].startswith(("0", "1"))


@pytest.mark.parametrize("given, message", [
    (("t=100", "x=1"), 'unknown key "t"'),
    (("h=1", "s=2"), "no property function takes h and s"),
    (("p=10", "h=abc"), "not a number"),
    (("p10", "h=1"), "KEY=VALUE"),
])
def test_state_refuses_what_no_function_answers(data, given, message):
    assert message in data.run("state", *given, check=2).stderr
