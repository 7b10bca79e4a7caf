"""The temperature-entropy diagram and the Mollier chart: well-formed SVG
documents with the saturation dome, lines of constant quality and isobars
at round values of the configured unit, drawn from the library over the
whole range of its tables, with labels that neither collide nor leave the
frame."""

import os
import resource
import signal
import subprocess
import xml.etree.ElementTree as ElementTree

import pytest

from cli_support import selection_bytes

SVG = "{http://www.w3.org/2000/svg}"
QUALITY_LINES = 9


def draw(data, *options):
    path = data.path / "chart.svg"
    data.run("diagram", *options, path, check=0)
    return ElementTree.parse(path).getroot()


def texts(root):
    return [element.text for element in root.iter(SVG + "text")]


def polylines(root):
    lines = []
    for element in root.iter(SVG + "polyline"):
        lines.append([tuple(map(float, pair.split(","))) for pair in element.get("points").split()])
    return lines


def plot_frame(root):
    """(left, top, right, bottom) of the plot: the rectangle with a stroke and no fill."""
    for rect in root.iter(SVG + "rect"):
        if rect.get("fill") == "none":
            left, top = float(rect.get("x")), float(rect.get("y"))
            return left, top, left + float(rect.get("width")), top + float(rect.get("height"))
    raise AssertionError("no plot frame")


def label_boxes(root):
    """Boxes of the lines' labels as the chart estimates them: 7.5 pixels a
    character and 15 a line, 4 of them below the baseline (6, 12 and 3 at
    the smaller size)."""
    boxes = []
    for element in root.iter(SVG + "text"):
        if element.get("class") != "label":
            continue
        small = element.get("font-size") == "10"
        width, height, descent = (6, 12, 3) if small else (7.5, 15, 4)
        x, baseline = float(element.get("x")), float(element.get("y"))
        boxes.append((element.text, (x, baseline + descent - height, x + width * len(element.text),
                                     baseline + descent)))
    return boxes


def isobar_labels(root):
    return [text for text, _ in label_boxes(root) if text[0].isdigit()]


def test_diagram_has_dome_quality_lines_and_round_isobars_over_the_whole_table(data):
    root = draw(data)
    assert root.tag == SVG + "svg"
    width, height = float(root.get("width")), float(root.get("height"))
    lines = polylines(root)
    assert isobar_labels(root) == ["0.01 bar", "0.1 bar", "1 bar", "10 bar", "100 bar", "1000 bar"]
    assert len(lines) == 1 + QUALITY_LINES + 6
    for line in lines:
        assert len(line) > 20
        assert all(0 <= x <= width and 0 <= y <= height for x, y in line)
    labels = texts(root)
    assert ["x=0.%d" % k for k in range(1, 10)] == [t for t in labels if t.startswith("x=")]
    assert "specific entropy s [kJ/kg,K]" in labels and "temperature T [C]" in labels
    # The temperature axis is the tables' range, 0 to 800 C, and every isobar reaches its top.
    left, top, right, bottom = plot_frame(root)
    assert "0" in labels and "800" in labels
    for isobar in lines[1 + QUALITY_LINES:]:
        assert min(y for _, y in isobar) == pytest.approx(top, abs=0.01)
        assert max(y for _, y in isobar) == pytest.approx(bottom, abs=0.01) or isobar is lines[-1]


def test_quality_lines_lie_inside_the_dome_in_order(data):
    lines = polylines(draw(data))
    dome, qualities = lines[0], lines[1:1 + QUALITY_LINES]
    bottom = max(y for _, y in dome)
    liquid = min(x for x, y in dome if y == bottom)
    vapour = max(x for x, y in dome if y == bottom)
    starts = [line[0] for line in qualities]
    assert all(y == pytest.approx(bottom, abs=0.01) for _, y in starts)
    assert liquid < starts[0][0] and starts[-1][0] < vapour
    assert [x for x, _ in starts] == sorted(x for x, _ in starts)
    for (x, _), k in zip(starts, range(1, 10)):  # entropy is linear in quality on an isotherm
        assert x == pytest.approx(liquid + (vapour - liquid) * k / 10, abs=0.6)


def test_isobar_crosses_the_dome_at_the_saturation_temperature(data):
    lines = polylines(draw(data))
    dome, ten_bar = lines[0], lines[1 + QUALITY_LINES + 3]
    # The horizontal stretch of the 10 bar isobar is its widest step in s.
    steps = [(abs(b[0] - a[0]), a, b) for a, b in zip(ten_bar, ten_bar[1:])]
    _, start, end = max(steps)
    assert start[1] == end[1]
    top = min(y for _, y in dome)
    assert start[1] > top
    liquid_x = min(x for x, y in dome if abs(y - start[1]) < 3)
    vapour_x = max(x for x, y in dome if abs(y - start[1]) < 3)
    assert abs(start[0] - liquid_x) < 5 and abs(end[0] - vapour_x) < 5


@pytest.mark.parametrize("words, isobars", [
    ({3: 10, 6: 1, 10: 3, 12: 1}, ["1 psi", "10 psi", "100 psi", "1000 psi", "10000 psi"]),
    # The library refuses 0.001 MPa itself: converted, it falls a little below its lowest pressure.
    ({3: 3, 6: 2, 12: 1}, ["0.01 MPa", "0.1 MPa", "1 MPa", "10 MPa", "100 MPa"]),
    ({3: 5, 12: 1}, ["0.01 atm", "0.1 atm", "1 atm", "10 atm", "100 atm"]),
])
@pytest.mark.parametrize("mollier", [False, True])
def test_labels_are_round_in_any_unit_and_never_collide_or_leave_the_frame(data, words, isobars, mollier):
    data.config.write_bytes(selection_bytes(words))
    root = draw(data, *(["--mollier"] if mollier else []))
    assert isobar_labels(root) == isobars
    width, height = float(root.get("width")), float(root.get("height"))
    left, top, right, bottom = plot_frame(root)
    boxes = label_boxes(root)
    for text, (x0, y0, x1, y1) in boxes:
        assert 0 <= x0 and x1 <= width and 0 <= y0 and y1 <= height, text
        inside = left <= x0 and x1 <= right and top <= y0 and y1 <= bottom
        beside = x0 >= right  # listed to the right of the plot
        assert inside or beside, text
    for i, (a, (ax0, ay0, ax1, ay1)) in enumerate(boxes):
        for b, (bx0, by0, bx1, by1) in boxes[i + 1:]:
            assert not (ax0 < bx1 and bx0 < ax1 and ay0 < by1 and by0 < ay1), (a, b)


def test_diagram_follows_the_configured_units(data):
    data.config.write_bytes(selection_bytes({3: 10, 6: 1, 10: 3, 12: 1}))  # psi, K, Btu/lbm,F
    labels = texts(draw(data))
    assert "temperature T [K]" in labels and "specific entropy s [Btu/lbm,F]" in labels


def test_mollier_chart_plots_enthalpy_against_entropy(data):
    root = draw(data, "--mollier")
    labels = texts(root)
    assert "specific enthalpy h [kJ/kg]" in labels and "specific entropy s [kJ/kg,K]" in labels
    dome = polylines(root)[0]
    # The critical point is not the top of the dome in h-s: the vapour branch rises above it.
    assert min(y for _, y in dome) < dome[len(dome) // 2][1]


def test_diagram_without_tables_fails_and_writes_nothing(data):
    (data.path / "vevuzu.dat").unlink()
    result = data.run("diagram", data.path / "ts.svg", check=3)
    assert "File not found" in result.stderr
    assert not (data.path / "ts.svg").exists()


def test_diagram_that_does_not_fit_on_the_disk_leaves_the_old_file_whole(data):
    target = data.path / "ts.svg"
    target.write_text("<svg>the old diagram</svg>")
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini))

    def full_disk():  # no file may grow past 4 KiB: writes beyond fail with EFBIG
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
    result = subprocess.run([os.environ["RUDID32_CLI"], "diagram", str(target)], capture_output=True, text=True,
                            env=env, timeout=60, preexec_fn=full_disk)
    assert result.returncode == 3, result.stderr
    assert "File too large" in result.stderr
    assert target.read_text() == "<svg>the old diagram</svg>"
    assert [p.name for p in data.path.iterdir() if p.name.startswith(".")] == []  # no temporary left
    data.run("diagram", target, check=0)
    assert ElementTree.parse(target).getroot().tag.endswith("svg")
