"""The temperature-entropy diagram: a well-formed SVG document with the
saturation dome and the labelled isobars drawn from the library, in the
configured units."""

import xml.etree.ElementTree as ElementTree

from cli_support import selection_bytes

SVG = "{http://www.w3.org/2000/svg}"


def draw(data):
    path = data.path / "ts.svg"
    data.run("diagram", path, check=0)
    return ElementTree.parse(path).getroot()


def texts(root):
    return [element.text for element in root.iter(SVG + "text")]


def polylines(root):
    lines = []
    for element in root.iter(SVG + "polyline"):
        lines.append([tuple(map(float, pair.split(","))) for pair in element.get("points").split()])
    return lines


def test_diagram_is_svg_with_dome_isobars_and_labelled_axes(data):
    root = draw(data)
    assert root.tag == SVG + "svg"
    width, height = float(root.get("width")), float(root.get("height"))
    lines = polylines(root)
    assert len(lines) == 7  # the dome and six isobars
    for line in lines:
        assert len(line) > 20
        assert all(0 <= x <= width and 0 <= y <= height for x, y in line)
    labels = texts(root)
    for isobar in ("0.1 bar", "1 bar", "10 bar", "50 bar", "100 bar", "300 bar"):
        assert isobar in labels
    assert "specific entropy s [kJ/kg,K]" in labels and "temperature T [C]" in labels


def test_isobar_crosses_the_dome_at_the_saturation_temperature(data):
    lines = polylines(draw(data))
    dome, ten_bar = lines[0], lines[3]
    # The horizontal stretch of the 10 bar isobar is its widest step in s.
    steps = [(abs(b[0] - a[0]), a, b) for a, b in zip(ten_bar, ten_bar[1:])]
    _, start, end = max(steps)
    assert start[1] == end[1]
    # The dome's top is the critical point; the crossing lies below it on both branches.
    top = min(y for _, y in dome)
    assert start[1] > top
    liquid_x = min(x for x, y in dome if abs(y - start[1]) < 3)
    vapour_x = max(x for x, y in dome if abs(y - start[1]) < 3)
    assert abs(start[0] - liquid_x) < 5 and abs(end[0] - vapour_x) < 5


def test_diagram_follows_the_configured_units(data):
    data.config.write_bytes(selection_bytes({3: 10, 6: 1, 10: 3, 12: 1}))  # psi, K, Btu/lbm,F
    labels = texts(draw(data))
    assert "temperature T [K]" in labels and "specific entropy s [Btu/lbm,F]" in labels
    assert "145 psi" in labels  # 10 bar


def test_diagram_without_tables_fails_and_writes_nothing(data):
    (data.path / "vevuzu.dat").unlink()
    result = data.run("diagram", data.path / "ts.svg", check=3)
    assert "File not found" in result.stderr
    assert not (data.path / "ts.svg").exists()
