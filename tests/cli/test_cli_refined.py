"""Refined answers by default (--refined accepted, --table for the table's):
the tool's calls, state and batch give the library's refined answers
(RudidEvaluateRefined) and its refined flags; state shows the other kind of
answer beside one that differs from it by more than 0.1 %."""

import csv
import io

import rudid32
from test_cli_call_and_state import value_and_unit


def test_a_call_gives_the_refined_answer(data):
    value, unit = value_and_unit(data.run("--refined", "--exact", "AQPPTH", 1.01325, 100, check=0).stdout)
    assert value == rudid32.enthalpy_pt(1.01325, 100, refined=True)
    assert abs(value - 2675.6) < 0.005 * 2675.6 and unit == "kJ/kg"
    table, _ = value_and_unit(data.run("--table", "--exact", "AQPPTH", 1.01325, 100, check=0).stdout)
    assert table == rudid32.enthalpy_pt(1.01325, 100, refined=False)


def test_refined_answers_are_the_default_and_table_gives_the_exports(data):
    # At a deaerator the table answer is 41 % below IAPWS-IF97's 2758.88 kJ/kg.
    assert data.run("AQPPTH", 6.3, 161, check=0).stdout == "2758.875 kJ/kg\n"
    assert data.run("--refined", "AQPPTH", 6.3, 161, check=0).stdout == "2758.875 kJ/kg\n"
    table = data.run("--table", "--exact", "AQPPTH", 6.3, 161, check=0)
    assert float(table.stdout.split()[0]) == rudid32.enthalpy_pt(6.3, 161, refined=False)
    assert "--table" in data.run("--refined", "--table", "AQPPTH", 6.3, 161, check=2).stderr
    rows = list(csv.reader(io.StringIO(data.run("batch", "AQPPTH", input="6.3,161\n", check=0).stdout)))
    assert rows[1][2] == "2758.875"
    rows = list(csv.reader(io.StringIO(data.run("batch", "state", "p", "T", input="6.3,161\n", check=0).stdout)))
    assert rows[1][rows[0].index("specific enthalpy [kJ/kg]")] == "2758.875"


def test_a_missing_table_is_named_with_refined_answers_too(data):
    (data.path / "zarude.dat").unlink()
    assert "File not found: %s (code 2)" % (data.path / "zarude.dat") in data.run("AQPPT", 10, check=3).stderr


def test_state_shows_the_table_answer_beside_a_refined_one_far_from_it(data):
    lines = data.run("--refined", "state", "p=1.01325", "T=100", check=0).stdout.splitlines()
    enthalpy = next(line for line in lines if line.startswith("specific enthalpy"))
    assert enthalpy.split()[2] == "2675.585" and "(table answer: 2376.76 kJ/kg)" in enthalpy
    # Where the two agree within 0.1 %, the refined answer stands alone.
    lines = data.run("--refined", "state", "p=50", "T=600", check=0).stdout.splitlines()
    assert not any("table answer" in line for line in lines)
    # With --table, the refined answer stands beside a table one far from it.
    lines = data.run("--table", "state", "p=1.01325", "T=100", check=0).stdout.splitlines()
    enthalpy = next(line for line in lines if line.startswith("specific enthalpy"))
    assert enthalpy.split()[2] == "2376.76" and "(refined answer: 2675.585 kJ/kg)" in enthalpy


def test_batch_gives_refined_answers_and_refined_flags(data):
    rows = "1.01325,100\n1,9.5\n250,390\n"
    out = list(csv.reader(io.StringIO(data.run("--refined", "--exact", "batch", "AQPPTV", input=rows,
                                               check=0).stdout)))[1:]
    assert float(out[0][2]) == rudid32.volume_pt(1.01325, 100, refined=True)
    assert [row[3:5] for row in out] == [["", "ok"], ["", "ok"], ["critical-region", "caution"]]
    # The caution names the refined reason in words of its own, not the table's.
    assert out[2][6].startswith("caution: critical-region (around the critical point or on the ridge")
    # The refined volume of water at 0.010197 bar and 2.8428 C, which the
    # refined temperature from volume answers as wet steam of 7.25 C.
    result = data.run("--refined", "--strict", "batch", "AQPPVT", input="0.010197,0.00100018727678\n")
    assert result.returncode == 4
    row = list(csv.reader(io.StringIO(result.stdout)))[1]
    assert row[3:5] == ["ill-posed", "caution"] and row[6].startswith("caution: ill-posed (cold water by volume")
