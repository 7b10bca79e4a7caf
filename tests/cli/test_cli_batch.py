"""Batch mode: CSV rows in, one CSV row out per input row with the result
or the reason it has none, in chunks that the rows cross unharmed."""

import csv
import io
import os
import select
import subprocess

import rudid32

HEADER = ["pressure [bar]", "specific enthalpy [kJ/kg]", "temperature [C]", "status", "code", "message"]


def rows_of(output):
    rows = list(csv.reader(io.StringIO(output)))
    assert rows[0] == HEADER
    for row in rows:
        assert len(row) == 6
    return rows[1:]


def test_each_row_answers_or_says_why_not(data):
    lines = ["10,3000", " 10 , 9000 ", "", '"1","2700"', "abc,5", "1,2,3", "+5,2800\r", "x" * 5000, "1,2700"]
    result = data.run("batch", "AQPPHT", input="\n".join(lines) + "\n", check=1)
    rows = rows_of(result.stdout)
    assert [row[3] for row in rows] == ["ok", "out-of-range", "ok", "malformed", "malformed", "ok",
                                        "malformed", "ok"]
    assert rows[0][:3] == ["10", "3000", repr(rudid32.temperature_ph(10, 3000))]
    assert rows[1][4:] == ["-1014", "enthalpy outside the table at this pressure"]
    assert float(rows[2][2]) == rudid32.temperature_ph(1, 2700)
    assert rows[3][0] == "abc" and rows[3][5] == 'line 5: pressure "abc" is not a number'
    assert rows[4][5].startswith("line 6: expected 2 fields, found 3")
    assert float(rows[5][2]) == rudid32.temperature_ph(5, 2800)
    assert rows[6][5].startswith("line 8: line longer than")
    assert float(rows[7][2]) == rudid32.temperature_ph(1, 2700)  # the reader found the next line
    assert "8 rows: 4 answered, 1 out of range, 0 failed, 3 malformed" in result.stderr


def test_row_that_fails_gets_its_failure_and_exit_status_3(data):
    rows = rows_of(data.run("batch", "AQPPHT", input="1e39,1\n10,3000\n", check=3).stdout)
    assert rows[0][3:] == ["failure", "205", "Floating point overflow"]
    assert rows[1][3] == "ok"


def test_rows_across_chunks_match_the_library_row_by_row(data):
    count = 9000
    pressures = [0.5 + (i % 400) for i in range(count)]
    enthalpies = [100.0 + (i * 7) % 3900 for i in range(count)]
    malformed = {4095, 4096, 8191}  # at and across the chunk boundaries
    lines = ["oops" if i in malformed else "%r,%r" % (p, h) for i, (p, h) in enumerate(zip(pressures, enthalpies))]
    result = data.run("batch", "AQPPHT", input="\n".join(lines), check=1)
    rows = rows_of(result.stdout)
    assert len(rows) == count
    expected, codes = rudid32.evaluate("AQPPHT", pressures, enthalpies)
    for i, (row, value, code) in enumerate(zip(rows, expected, codes)):
        if i in malformed:
            assert row[3] == "malformed" and row[5].startswith("line %d:" % (i + 1))
        elif code < 0:
            assert row[3:5] == ["out-of-range", str(code)]
        else:
            assert row[3] == "ok" and float(row[2]) == value, i


def test_header_option_skips_the_first_line_and_one_argument_functions_take_one_field(data):
    result = data.run("batch", "AQPPT", "--header", input="p\n1\n10\n", check=0)
    rows = list(csv.reader(io.StringIO(result.stdout)))
    assert rows[0] == ["pressure [bar]", "temperature [C]", "status", "code", "message"]
    assert [float(row[1]) for row in rows[1:]] == [rudid32.saturation_temperature(1), rudid32.saturation_temperature(10)]
    assert result.stderr == ""  # no progress when stderr is not a terminal


def test_answers_come_before_the_input_ends(data):
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini))
    process = subprocess.Popen([os.environ["RUDID32_CLI"], "batch", "AQPPT"], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True, env=env)
    try:
        process.stdin.write("10\n")
        process.stdin.flush()
        lines = []
        while len(lines) < 2:
            ready, _, _ = select.select([process.stdout], [], [], 10)
            assert ready, "no answer while the input is still open"
            lines.append(process.stdout.readline())
        assert float(lines[1].split(",")[1]) == rudid32.saturation_temperature(10)
    finally:
        process.stdin.close()
        process.wait(timeout=10)


def test_unknown_function_is_a_usage_error(data):
    assert "no property function" in data.run("batch", "AQPPXX", input="1\n", check=2).stderr
