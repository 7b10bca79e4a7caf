"""Input and output as users' files have them: columns passed through,
spreadsheet exports (byte-order marks, semicolons and decimal commas) and
the messages about what the tool was given."""

import csv
import io
import xml.etree.ElementTree as ElementTree

import pytest

import rudid32

SVG = "{http://www.w3.org/2000/svg}"
BOM = "\ufeff"  # written by Excel's "CSV UTF-8" before the first title

PLANT = "id,tag,p,T\nA1,feed,10,300\nB2,drum,1.01325,120\n"


def table(output, delimiter=","):
    return list(csv.reader(io.StringIO(output), delimiter=delimiter))


def test_keep_takes_one_name_a_use_and_leaves_the_function_and_keys(data):
    # The words after --keep are the command's own, never more columns.
    for keep in (["--keep", "id", "--keep", "tag"], ["--keep", "id,tag"], ["--keep=id,tag"]):
        rows = table(data.run("--exact", "batch", "--header", *keep, "state", "p", "T", input=PLANT, check=0).stdout)
        assert rows[0][:3] == ["id", "tag", "given pressure [bar]"]
        assert [row[:2] for row in rows[1:]] == [["A1", "feed"], ["B2", "drum"]]
        assert float(rows[1][4]) == 300 and rows[1][-3] == "ok"
    rows = table(data.run("--exact", "batch", "--header", "--keep", "id", "AQPPTH", input="id,p,T\nA1,10,300\n",
                          check=0).stdout)
    assert rows[1][:3] == ["A1", "10", "300"] and float(rows[1][3]) == rudid32.enthalpy_pt(10, 300)


def drawn_texts(data, *options):
    path = data.path / "chart.svg"
    result = data.run("diagram", *options, path)
    return result, [element.text for element in ElementTree.parse(path).getroot().iter(SVG + "text")]


def test_a_byte_order_mark_is_no_part_of_the_first_title(data):
    rows = table(data.run("batch", "--header", "--keep", "id", "AQPPTH", input=BOM + "id,p,T\nA1,10,300\n",
                          check=0).stdout)
    assert rows[0][0] == "id" and rows[1][0] == "A1"
    # Without a header the mark is no part of the first number either.
    rows = table(data.run("batch", "AQPPTH", input=BOM + "10,300\n", check=0).stdout)
    assert rows[1][:2] == ["10", "300"] and rows[1][-3] == "ok"
    points = data.path / "points.csv"
    points.write_text(BOM + "label,p,T\ninlet,100,500\n", encoding="utf-8")
    result, texts = drawn_texts(data, "--points", points)
    assert result.returncode == 0 and "inlet" in texts, result.stderr


def test_semicolons_and_decimal_commas_come_back_as_they_came(data):
    text = "id;p;h\nA1;10;3000\nB2;10,5;2800,5\nC3;ten;5\n"
    result = data.run("--exact", "batch", "--header", "--keep", "id", "AQPPHT", input=text, check=1)
    rows = table(result.stdout, ";")
    assert rows[0][:4] == ["id", "pressure [bar]", "specific enthalpy [kJ/kg]", "temperature [C]"]
    assert rows[1][:3] == ["A1", "10", "3000"] and rows[2][:3] == ["B2", "10,5", "2800,5"]
    assert float(rows[2][3].replace(",", ".")) == rudid32.temperature_ph(10.5, 2800.5) and "." not in rows[2][3]
    assert rows[3][-3] == "malformed" and 'pressure "ten"' in rows[3][-1]
    # Semicolons with decimal points: semicolons and points back.
    rows = table(data.run("--exact", "batch", "state", "p", "h", input="10.5;3000\n", check=0).stdout, ";")
    assert rows[1][:2] == ["10.5", "3000"] and float(rows[1][2]) == rudid32.temperature_ph(10.5, 3000)


def test_points_take_decimal_commas_as_batch_does(data):
    points = data.path / "points.csv"
    points.write_text("p;T;label\n10,5;300,5;bleed\n")
    result, texts = drawn_texts(data, "--points", points)
    assert result.returncode == 0 and "bleed" in texts, result.stderr


def test_a_missing_or_short_unit_file_is_told_once_in_plain_words(data):
    data.config.unlink()
    stderr = data.run("AQPPT", "1", check=0).stderr
    assert "corrupt or missing!" not in stderr
    assert stderr.count("warning") == 1 and "unit file %s is missing" % data.config in stderr
    data.config.write_bytes(b"\x00\x00\x00")
    stderr = data.run("AQPPT", "1", check=0).stderr
    assert "corrupt or missing!" not in stderr and "unit file %s is short" % data.config in stderr


@pytest.mark.parametrize("options, said", [
    (("--size", "nanx680"), '"nanx680": the width or height is not a finite number'),
    (("--size", "960xinf"), '"960xinf": the width or height is not a finite number'),
    (("--range", "s=nan:9"), '--range: "nan" is not a finite number'),
    (("--range", "T=100:inf"), '--range: "inf" is not a finite number'),
])
def test_a_diagram_size_or_range_that_is_not_finite_is_refused_as_such(data, options, said):
    result = data.run("diagram", *options, data.path / "chart.svg", check=2)
    assert said in result.stderr and not (data.path / "chart.svg").exists()


def test_kilopascals_are_chosen_by_name_for_a_run(data):
    boiling = float(data.run("--units", "pressure=kPa", "--value-only", "AQPPT", "101.325", check=0).stdout)
    assert abs(boiling - 100) < 0.1
    listing = data.run("--units", "pressure=kPa", "units", check=0).stdout
    pressure = next(line for line in listing.splitlines() if " pressure " in line)
    assert pressure.split()[3] == "kPa" and "chosen for this run" in pressure


def polylines(path):
    return [[tuple(map(float, pair.split(","))) for pair in element.get("points").split()]
            for element in ElementTree.parse(path).getroot().iter(SVG + "polyline")]


def test_a_process_line_follows_the_states_between_its_points(data):
    # Economiser outlet to main steam at one pressure: along the isobar,
    # level across the dome, not a chord cutting over it.
    points = data.path / "plant.csv"
    points.write_text("p,T,label\n100,300,economiser\n100,540,main steam\n")
    chart = data.path / "chart.svg"
    data.run("diagram", "--points", points, chart, check=0)
    process = polylines(chart)[-1]
    assert len(process) > 10
    # The boiling part is level, at the saturation temperature: a chord
    # from 300 C to 540 C never is.
    heights = [y for _, y in process]
    level = max(heights.count(y) for y in heights)
    assert level >= 3
    assert heights[0] > heights[len(heights) // 2] > heights[-1]  # SVG's y grows downwards

def test_each_row_gives_its_own_pair_and_a_row_without_two_is_named(data):
    points = data.path / "plant.csv"
    points.write_text("p,T,x,label\n100,540,,main steam\n0.1,,0.9,exhaust\n\n10,,,lonely\n")
    chart = data.path / "chart.svg"
    result = data.run("diagram", "--points", points, chart, check=1)
    assert "plant.csv line 5: gives a value of p only: a state needs two of p, T, x" in result.stderr
    texts = [element.text for element in ElementTree.parse(chart).getroot().iter(SVG + "text")]
    assert "main steam" in texts and "exhaust" in texts and "lonely" not in texts
    points.write_text("p,T,label\n100,,a\n")
    assert "line 2: gives a value of p only" in data.run("diagram", "--points", points, chart, check=1).stderr


def labels_of(data, *options):
    """(text, colour) of every label of a chart, placed or listed."""
    chart = data.path / "chart.svg"
    data.run("diagram", *options, chart, check=0)
    return [(element.text, element.get("fill")) for element in ElementTree.parse(chart).getroot().iter(SVG + "text")
            if element.get("class") == "label"]


def test_every_isobar_has_a_colour_of_its_own_and_none_an_isotherm_s(data):
    labels = labels_of(data, "--mollier")
    isobars = {text: colour for text, colour in labels if text.endswith(" bar")}
    isotherms = {colour for text, colour in labels if text.endswith(" C")}
    assert len(isobars) >= 12 and len(set(isobars.values())) == len(isobars), isobars
    assert isotherms and not isotherms & set(isobars.values())


def test_only_the_lines_drawn_in_the_range_are_labelled(data):
    # Between 400 and 500 C, entropies of 7 to 8 lie on the isobars of a few
    # to some tens of bar only: the others are not drawn, nor listed.
    shown = {text for text, _ in labels_of(data, "--range", "s=7:8,T=400:500") if text.endswith(" bar")}
    for pressure in (0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000):
        entropies = [rudid32.entropy_pt(pressure, t) for t in (400, 450, 500)]
        crosses = min(entropies) < 8 and max(entropies) > 7
        assert (("%g bar" % pressure) in shown) == crosses, (pressure, entropies, shown)
