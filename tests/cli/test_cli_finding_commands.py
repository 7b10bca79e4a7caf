"""Finding the right command: --help shows what each function takes and
gives in the configured units, an unknown name is answered with the nearest
ones, state keys work in any case, and every pair of p, T, h, s, v, x gives
a state (pairs no function takes are solved for the pressure)."""

import pytest
from iapws import IAPWS97

from cli_support import selection_bytes


def state(data, *given, check=0):
    """{label: text} of rudid32 state."""
    output = data.run("--exact", "state", *given, check=check).stdout
    return {line[:20].strip(): line[21:] for line in output.splitlines() if not line.startswith("caution")}


def number(text):
    return float(text.split()[0])


def test_help_shows_arguments_and_result_with_their_units(data):
    lines = {line.split()[0]: line for line in data.run("--help", check=0).stdout.splitlines()
             if line.strip().startswith("AQP")}
    assert len(lines) == 23
    assert "(temperature [C], quality) -> specific enthalpy [kJ/kg]" in lines["AQPTQH"]
    assert "(pressure [bar], quality) -> specific enthalpy [kJ/kg]" in lines["AQPPQH"]
    assert "(pressure [bar]) -> temperature [C]" in lines["AQPPT"]
    data.config.write_bytes(selection_bytes({3: 10, 6: 2, 12: 1}))  # psi, F: the help follows
    assert "(pressure [psi], temperature [F]) ->" in data.run("--help", check=0).stdout
    assert "pressure in psi" in data.run("AQPPTH", "--help", check=0).stdout


@pytest.mark.parametrize("word, suggestion", [("AQPTH", "AQPTP or AQPTQH or AQPPTH"),
                                              ("aqpphx", "AQPPHT or AQPPHS or AQPPHV or AQPPHQ"), ("stat", "state"),
                                              ("FOO", None)])
def test_unknown_function_is_named_with_the_nearest(data, word, suggestion):
    result = data.run(word, "1", "2", check=2)
    assert 'no property function or command "%s"' % word in result.stderr
    if suggestion:
        assert "did you mean %s?" % suggestion in result.stderr
    else:
        assert "did you mean" not in result.stderr
    assert result.stdout == ""


def test_state_keys_in_any_case(data):
    assert state(data, "P=10", "t=300") == state(data, "p=10", "T=300")
    assert state(data, "H=3000", "S=7")["phase"] == "superheated vapour"


@pytest.mark.parametrize("given", [("h=3000", "s=7"), ("T=300", "h=3000"), ("T=150", "s=4"), ("s=6.5", "x=0.9"),
                                   ("h=2500", "v=1.5"), ("T=200", "v=0.1"), ("x=0.5", "h=2000")])
def test_pairs_without_a_function_are_solved_through_the_pressure(data, given):
    found = state(data, *given)
    p, t = number(found["pressure"]), number(found["temperature"])
    labels = {"h": "specific enthalpy", "s": "specific entropy", "v": "specific volume", "T": "temperature",
              "x": "quality"}
    for item in given:
        key, value = item.split("=")
        assert number(found[labels[key]]) == pytest.approx(float(value), rel=1e-5), (given, found)
    # The state found is the formulation's within the tables' accuracy.
    reference = IAPWS97(P=p / 10, T=t + 273.15) if found["phase"] != "wet steam" else \
        IAPWS97(P=p / 10, x=number(found["quality"]))
    assert number(found["specific enthalpy"]) == pytest.approx(reference.h, rel=1e-2)
    assert number(found["specific entropy"]) == pytest.approx(reference.s, rel=1e-2)


def test_a_pair_that_no_state_has_is_out_of_range_and_batch_solves_pairs_too(data):
    assert "no state in the tables" in data.run("state", "h=99999", "s=7", check=1).stdout
    assert "do not fix a state" in data.run("state", "h=1", "H=2", check=2).stderr
    rows = data.run("--exact", "batch", "state", "h", "s", input="3000,7\n99999,7\n", check=1).stdout.splitlines()
    single = state(data, "h=3000", "s=7")
    assert rows[1].split(",")[3] == single["pressure"].split()[0]
    assert ",out-of-range,0," in rows[2] and "no state in the tables" in rows[2]
