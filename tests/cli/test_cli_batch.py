"""Batch mode: CSV rows in, one CSV row out per input row (comments and
blank lines aside) with the result or the reason it has none, in chunks
that the rows cross unharmed, identical on any number of threads."""

import csv
import io
import os
import select
import subprocess

import pytest

import rudid32

HEADER = ["pressure [bar]", "specific enthalpy [kJ/kg]", "temperature [C]", "state_flags", "status", "code", "message"]
STATUS = 4


def rows_of(output, header=HEADER):
    rows = list(csv.reader(io.StringIO(output)))
    assert rows[0] == header
    for row in rows:
        assert len(row) == len(header)
    return rows[1:]


def test_each_row_answers_or_says_why_not(data):
    lines = ["10,3000", " 10 , 9000 ", "", '"1","2700"', "abc,5", "1,2,3", "+5,2800\r", "x" * 5000, "1,2700",
             "# a comment", "  # another", "10", "nan,3000", "10,-inf", "-5,3000"]
    result = data.run("--table", "batch", "--exact", "AQPPHT", input="\n".join(lines) + "\n", check=1)
    rows = rows_of(result.stdout)
    assert [row[STATUS] for row in rows] == ["ok", "out-of-range", "ok", "malformed", "malformed", "ok",
                                             "malformed", "ok", "malformed", "malformed", "malformed", "out-of-range"]
    assert rows[0][:3] == ["10", "3000", repr(rudid32.temperature_ph(10, 3000, refined=False))]
    assert rows[1][5:] == ["-1014", "enthalpy outside the table at this pressure"]
    assert float(rows[2][2]) == rudid32.temperature_ph(1, 2700, refined=False)
    assert rows[3][0] == "abc" and rows[3][6] == 'line 5: pressure "abc" is not a number'
    assert rows[4][:2] == ["1", "2"] and rows[4][6].startswith("line 6: expected 2 fields, found 3")
    assert float(rows[5][2]) == rudid32.temperature_ph(5, 2800, refined=False)
    assert rows[6][6].startswith("line 8: line longer than")
    assert float(rows[7][2]) == rudid32.temperature_ph(1, 2700, refined=False)  # the reader found the next line
    # Malformed rows keep what they were given; non-finite numbers are refused, not evaluated.
    assert rows[8][:2] == ["10", ""] and rows[8][6] == "line 12: expected 2 fields, found 1: 10"
    assert rows[9][:2] == ["nan", "3000"] and rows[9][6] == 'line 13: pressure "nan" is not a finite number'
    assert rows[10][6] == 'line 14: specific enthalpy "-inf" is not a finite number'
    assert rows[11][5] == "-1001"
    assert "12 rows: 4 answered (0 with caution), 2 out of range, 0 failed, 6 malformed" in result.stderr


def test_row_that_fails_gets_its_failure_and_exit_status_3(data):
    rows = rows_of(data.run("--table", "batch", "AQPPHT", input="1e39,1\n10,3000\n", check=3).stdout)
    assert rows[0][STATUS:] == ["failure", "205", "Floating point overflow"]
    assert rows[1][STATUS] == "ok" and rows[1][2] == "275.9792"  # seven digits unless --exact


def test_rows_across_chunks_match_the_library_row_by_row(data):
    count = 70000  # one thread takes 65536 rows at a time
    pressures = [0.5 + (i % 400) for i in range(count)]
    enthalpies = [100.0 + (i * 7) % 3900 for i in range(count)]
    malformed = {4095, 65535, 65536, 69999}  # at and across the chunk boundary
    lines = ["oops" if i in malformed else "%r,%r" % (p, h) for i, (p, h) in enumerate(zip(pressures, enthalpies))]
    result = data.run("--table", "batch", "--threads", 1, "--exact", "AQPPHT", input="\n".join(lines), check=1)
    rows = rows_of(result.stdout)
    assert len(rows) == count
    expected, codes = rudid32.evaluate("AQPPHT", pressures, enthalpies, refined=False)
    for i, (row, value, code) in enumerate(zip(rows, expected, codes)):
        if i in malformed:
            assert row[STATUS] == "malformed" and row[6].startswith("line %d:" % (i + 1))
        elif code < 0:
            assert row[STATUS:STATUS + 2] == ["out-of-range", str(code)]
        else:
            assert row[STATUS] in ("ok", "caution") and float(row[2]) == value, i


def test_header_option_skips_the_first_line_and_one_argument_functions_take_one_field(data):
    result = data.run("batch", "--exact", "AQPPT", "--header", input="p\n1\n10\n", check=0)
    rows = list(csv.reader(io.StringIO(result.stdout)))
    assert rows[0] == ["pressure [bar]", "temperature [C]", "state_flags", "status", "code", "message"]
    assert [float(row[1]) for row in rows[1:]] == [rudid32.saturation_temperature(1), rudid32.saturation_temperature(10)]
    assert result.stderr == ""  # no progress when stderr is not a terminal


def test_answers_come_before_the_input_ends(data):
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini))
    process = subprocess.Popen([os.environ["RUDID32_CLI"], "--exact", "batch", "AQPPT"], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, env=env)
    try:
        process.stdin.write(b"10\n")
        process.stdin.flush()
        # Read the pipe itself: a buffered reader may hold both lines after
        # one read, and select() would then wait for a third. The minute is
        # for a loaded machine; a tool that waits for the end of the input
        # waits forever.
        received = b""
        while received.count(b"\n") < 2:
            ready, _, _ = select.select([process.stdout], [], [], 60)
            assert ready, "no answer while the input is still open"
            chunk = os.read(process.stdout.fileno(), 4096)
            assert chunk, "the tool ended before the input did"
            received += chunk
        lines = received.decode().splitlines()
        assert float(lines[1].split(",")[1]) == rudid32.saturation_temperature(10)
    finally:
        process.stdin.close()
        process.wait(timeout=300)


def test_unknown_function_is_a_usage_error(data):
    assert "no property function" in data.run("batch", "AQPPXX", input="1\n", check=2).stderr
    result = data.run("batch", "AQPPT", "extra", input="1\n", check=2)
    assert 'unexpected argument "extra"' in result.stderr and "no property function" not in result.stderr


def test_lines_end_in_lf_cr_or_cr_lf(data):
    rows = rows_of(data.run("batch", "AQPPHT", input="10,3000\r1,2700\r\n5,2800\n\r\r20,3000", check=0).stdout)
    assert [row[:2] for row in rows] == [["10", "3000"], ["1", "2700"], ["5", "2800"], ["20", "3000"]]


def test_any_number_of_threads_gives_the_same_output(data):
    lines = []
    for i in range(40000):
        lines.append("bad" if i % 997 == 0 else "%r,%r" % (0.005 + (i % 1100) * 0.93, -50.0 + (i * 13) % 4300))
        if i % 5000 == 0:
            lines.append("# chunk %d" % i)
    text = "\n".join(lines) + "\n"
    one = data.run("batch", "--threads", 1, "AQPPHT", input=text, check=1)
    for threads in (2, 3):
        many = data.run("batch", "--threads", threads, "AQPPHT", input=text, check=1)
        assert many.stdout == one.stdout and many.stderr == one.stderr
    assert len(one.stdout.splitlines()) == 40001


def test_batch_state_gives_the_whole_state_of_every_row(data):
    header = ["given pressure [bar]", "given specific enthalpy [kJ/kg]", "temperature [C]", "pressure [bar]",
              "specific volume [m3/kg]", "specific enthalpy [kJ/kg]", "specific entropy [kJ/kg,K]", "quality",
              "phase", "density [ton/m3]", "internal energy [kJ/kg]", "cp [kJ/kg,K]", "cv [kJ/kg,K]",
              "speed of sound [m/s]", "viscosity [Ns/m2]", "thermal conductivity [KW/m,C]", "Prandtl number",
              "surface tension [N/m]",
              "T_flags", "p_flags", "v_flags", "h_flags", "s_flags", "x_flags", "status", "code", "message"]
    assert len(set(header)) == len(header)
    flags, status = slice(18, 24), header.index("status")
    given = ["10,3000", "10,1000", "300,2000", "10,99999", "ten,1"]
    result = data.run("batch", "--exact", "state", "p", "h", input="\n".join(given), check=1)
    rows = rows_of(result.stdout, header)
    for row, line in zip(rows[:3], given):
        single = data.run("--exact", "state", "p=" + line.split(",")[0], "h=" + line.split(",")[1], check=0).stdout
        values = {text[:20].strip(): text[21:] for text in single.splitlines() if not text.startswith("caution")}
        assert row[2:7] == [values[label].split()[0] for label in
                            ("temperature", "pressure", "specific volume", "specific enthalpy", "specific entropy")]
        assert row[7] == ("" if values["quality"].startswith("none") else values["quality"])
        assert row[8] == values["phase"] and row[status] == ("caution" if any(row[flags]) else "ok")
    assert [row[8] for row in rows[:3]] == ["superheated vapour", "wet steam", "supercritical fluid"]
    assert rows[3][status:status + 2] == ["out-of-range", "-1014"]
    assert rows[3][status + 2].startswith("temperature: enthalpy outside")
    assert rows[4][0] == "ten" and rows[4][status] == "malformed"
    assert "two different keys" in data.run("batch", "state", "h", "H", input="", check=2).stderr


@pytest.mark.parametrize("what", [("AQPPTH",), ("state", "p", "T")])
def test_no_flags_leaves_out_the_flags_column_and_the_caution_only(data, what):
    text = "1.01325,101\n10,300\nten,300\n10,900\n"
    with_flags = list(csv.reader(io.StringIO(data.run("--table", "batch", *what, input=text, check=1).stdout)))
    without = list(csv.reader(io.StringIO(data.run("--table", "batch", "--no-flags", *what, input=text, check=1).stdout)))
    # One flags column for a function, one a property for a state.
    columns = [c for c, title in enumerate(with_flags[0]) if title.endswith("_flags")]
    assert len(columns) == (1 if len(what) == 1 else 6) and columns == list(range(columns[0], columns[-1] + 1))
    column, after = columns[0], columns[-1] + 1
    assert any(with_flags[1][column:after]) and not any(with_flags[2][column:after])  # 1 atm, 101 C: a mixed cell
    # The flagged row says caution with its reasons; without flags it cannot.
    assert with_flags[1][after:] == ["caution", "0", with_flags[1][-1]]
    assert "mixed-phase-cell (" in with_flags[1][-1] and with_flags[1][-1].startswith("caution: ")
    assert without[1][column:] == ["ok", "0", ""]
    assert [row[:column] for row in with_flags] == [row[:column] for row in without]
    assert [row[:column] + row[after:] for row in with_flags[2:]] == without[2:]


@pytest.mark.parametrize("strict", [False, True])
def test_strict_turns_a_caution_into_exit_status_4(data, strict):
    """A flagged answer is an answer (0) unless --strict asks for 4; a
    state outside the tables stays 1 either way."""
    option = ["--table", "--strict"] if strict else ["--table"]
    flagged, clean = ("1.01325", "101"), ("10", "300")
    assert data.run(*option, "AQPPTH", *flagged).returncode == (4 if strict else 0)
    assert data.run(*option, "AQPPTH", *clean).returncode == 0
    assert data.run(*option, "state", "p=1.01325", "T=101").returncode == (4 if strict else 0)
    assert data.run(*option, "state", "p=10", "T=300").returncode == 0
    result = data.run(*option, "batch", "AQPPTH", input="10,300\n1.01325,101\n")
    assert result.returncode == (4 if strict else 0)
    assert "2 rows: 2 answered (1 with caution)" in result.stderr
    assert data.run(*option, "batch", "AQPPTH", input="10,300\n").returncode == 0
    assert data.run(*option, "batch", "AQPPTH", input="1.01325,101\n10,9000\n").returncode == 1


@pytest.mark.parametrize("text, options", [
    ("id;p;h\nA1;10;3000\nB2;10,5;2800,5\n", ()),                 # a European export: ; and decimal commas
    ("id\tp\th\nA1\t10\t3000\nB2\t10.5\t2800.5\n", ()),           # tab-separated
    ("id,p,h\nA1,10,3000\nB2,10.5,2800.5\n", ()),                 # plain CSV
    ("id;p;h\nA1;10;3000\nB2;10,5;2800,5\n", ("--delimiter", ";")),
    ("id\tp\th\nA1\t10\t3000\nB2\t10.5\t2800.5\n", ("--delimiter", "tab")),
])
def test_spreadsheet_exports_with_an_id_column_come_back_with_it(data, text, options):
    result = data.run("--table", "--exact", "batch", "--header", "--keep", "id", *options, "AQPPHT", input=text, check=0)
    # Semicolon-separated input comes back so, with its decimal commas.
    european = text.startswith("id;")
    frame = list(csv.reader(io.StringIO(result.stdout), delimiter=";" if european else ","))
    assert frame[0][:4] == ["id", "pressure [bar]", "specific enthalpy [kJ/kg]", "temperature [C]"]
    assert [row[0] for row in frame[1:]] == ["A1", "B2"]
    assert float(frame[1][3].replace(",", ".")) == rudid32.temperature_ph(10, 3000, refined=False)
    assert float(frame[2][3].replace(",", ".")) == rudid32.temperature_ph(10.5, 2800.5, refined=False)
    assert ("," in frame[2][3]) == european


def test_kept_columns_by_number_and_a_wrong_keep_is_a_usage_error(data):
    frame = list(csv.reader(io.StringIO(
        data.run("batch", "--keep", "3", "AQPPHT", input="10,3000,tag\n", check=0).stdout)))
    assert frame[0][0] == "3" and frame[1][:3] == ["tag", "10", "3000"]
    assert "no column of that name" in data.run("batch", "--header", "--keep", "nope", "AQPPHT",
                                                input="id,p,h\n", check=2).stderr
    assert "give --header" in data.run("batch", "--keep", "id", "AQPPHT", input="1,2,3\n", check=2).stderr


def test_a_header_without_header_option_is_told_and_pandas_reads_the_output(data):
    pandas = pytest.importorskip("pandas")
    result = data.run("--table", "batch", "state", "p", "T", input="p,T\n10,300\n1.01325,101\n", check=1)
    frame = pandas.read_csv(io.StringIO(result.stdout))
    assert "is line 1 a header? give --header" in frame.message[0]
    # Every column has its own name, and the flags are an attribute.
    assert len(set(frame.columns)) == len(frame.columns)
    assert list(frame.status) == ["malformed", "ok", "caution"]
    assert frame.h_flags[2] == "mixed-phase-cell" and frame.T_flags.isna()[2]
