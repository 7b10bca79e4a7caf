"""The temperature-entropy diagram and the Mollier chart: well-formed SVG
documents with the saturation dome, lines of constant quality and isobars
at round values of the configured unit, drawn from the library over the
whole range of its tables, with labels that neither collide nor leave the
frame."""

import os
import resource
import signal
import stat
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


def isobar_labels(root, unit=None):
    """The isobars' labels ("10 bar"), in the order of the lines."""
    units = ("bar", "psi", "MPa", "atm") if unit is None else (unit,)
    return [text for text, _ in label_boxes(root) if text[0].isdigit() and text.split()[-1] in units]


def round_steps(labels):
    """Whether every label's number is 1, 2 or 5 times a power of ten."""
    return all(("%.0e" % float(text.split()[0]))[0] in "125" for text in labels)


def test_diagram_has_dome_quality_lines_and_round_isobars_over_the_whole_table(data):
    root = draw(data)
    assert root.tag == SVG + "svg"
    width, height = float(root.get("width")), float(root.get("height"))
    lines = polylines(root)
    steps = ["%g bar" % (m * 10.0 ** e) for e in range(-2, 3) for m in (1, 2, 5)] + ["1000 bar"]
    assert sorted(isobar_labels(root), key=lambda t: float(t.split()[0])) == steps
    isobars = lines[1 + QUALITY_LINES:1 + QUALITY_LINES + len(steps)]
    for line in lines:
        assert len(line) > 20
        assert all(0 <= x <= width and 0 <= y <= height for x, y in line)
    labels = texts(root)
    assert ["x=0.%d" % k for k in range(1, 10)] == sorted(t for t in labels if t.startswith("x="))
    assert "specific entropy s [kJ/kg,K]" in labels and "temperature T [C]" in labels
    # The temperature axis is the tables' range, 0 to 800 C, and every isobar reaches its top.
    left, top, right, bottom = plot_frame(root)
    assert "0" in labels and "800" in labels
    for isobar in isobars:
        assert min(y for _, y in isobar) == pytest.approx(top, abs=0.01)
        assert max(y for _, y in isobar) == pytest.approx(bottom, abs=0.01) or isobar is isobars[-1]


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
    labels = isobar_labels(root)
    assert set(isobars) <= set(labels) and round_steps(labels), labels
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


def test_lines_of_constant_enthalpy_volume_and_temperature_at_round_steps(data):
    ts = [text for text, _ in label_boxes(draw(data))]
    enthalpies = [t for t in ts if t.startswith("h=")]
    volumes = [t for t in ts if t.startswith("v=")]
    assert {"h=1000 kJ/kg", "h=2000 kJ/kg", "h=3000 kJ/kg"} <= set(enthalpies)
    assert {"v=0.01 m3/kg", "v=0.1 m3/kg", "v=1 m3/kg", "v=10 m3/kg"} <= set(volumes)
    mollier = [text for text, _ in label_boxes(draw(data, "--mollier"))]
    isotherms = sorted(float(t.split()[0]) for t in mollier if t.endswith(" C"))
    assert isotherms == [100.0 * k for k in range(9)]
    # In other units the steps are round in those units.
    data.config.write_bytes(selection_bytes({3: 10, 6: 2, 5: 3, 12: 1}))  # psi, F, Btu/lbm
    imperial = [text for text, _ in label_boxes(draw(data, "--mollier"))]
    fahrenheit = sorted(float(t.split()[0]) for t in imperial if t.endswith(" F"))
    steps = {b - a for a, b in zip(fahrenheit, fahrenheit[1:])}
    assert len(fahrenheit) >= 5 and len(steps) == 1 and ("%.1e" % steps.pop())[:3] in ("1.0", "2.0", "2.5", "5.0")


def test_range_size_and_the_user_s_states(data):
    points = data.path / "process.csv"
    points.write_text("p,T,label\n100,500,inlet\n10,300,bleed\n1,150,outlet\n")
    root = draw(data, "--range", "s=5:8,T=100:600", "--size", "1200x800", "--points", points)
    assert (root.get("width"), root.get("height")) == ("1200", "800")
    labels = texts(root)
    assert "100" in labels and "600" in labels and "5.0" in labels and "8.0" in labels
    assert "0" not in labels and "800" not in labels
    boxes = dict(label_boxes(root))
    assert {"inlet", "bleed", "outlet"} <= set(boxes)
    # The process line joins the three states, drawn last, through their
    # markers, along the states between them.
    process = polylines(root)[-1]
    circles = [(float(c.get("cx")), float(c.get("cy"))) for c in root.iter(SVG + "circle")]
    assert len(process) > 3 and sum(point in circles for point in process) == 3
    # No label overlaps another, the states' included.
    items = list(boxes.items())
    for i, (a, (ax0, ay0, ax1, ay1)) in enumerate(items):
        for b, (bx0, by0, bx1, by1) in items[i + 1:]:
            assert not (ax0 < bx1 and bx0 < ax1 and ay0 < by1 and by0 < ay1), (a, b)


@pytest.mark.parametrize("options, message", [
    (("--range", "s=9:5"), "is not s=LOW:HIGH or T=LOW:HIGH"),
    (("--range", "q=1:2"), "is not s=LOW:HIGH"),
    (("--size", "huge"), "is not WIDTHxHEIGHT"),
    (("--points", "/nonexistent.csv"), "cannot read"),
])
def test_wrong_diagram_options_are_usage_errors(data, options, message):
    result = data.run("diagram", *options, data.path / "chart.svg", check=2)
    assert message in result.stderr and not (data.path / "chart.svg").exists()


def test_a_state_the_tables_do_not_have_is_told_and_the_rest_drawn(data):
    points = data.path / "process.csv"
    points.write_text("h,s,label\n3000,7,a\n99999,7,b\nten,7,c\n")
    result = data.run("diagram", "--points", points, data.path / "chart.svg", check=1)
    assert "line 3: no state in the tables" in result.stderr and 'line 4: h "ten" is not a number' in result.stderr
    assert "a" in dict(label_boxes(ElementTree.parse(data.path / "chart.svg").getroot()))


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


def _device_copy(path):
    """A private copy of /dev/full (character device 1, 7); None where this
    user may not make devices."""
    try:
        os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
    except PermissionError:
        return None
    return path


@pytest.mark.parametrize("kind", ["device", "fifo", "link to a device", "directory"])
def test_diagram_refuses_to_replace_anything_but_a_regular_file(data, kind):
    device = data.path / "full"
    if kind in ("device", "link to a device") and _device_copy(device) is None:
        pytest.skip("making a device needs root")
    target = {"device": device, "link to a device": data.path / "link", "fifo": data.path / "fifo",
              "directory": data.path / "folder"}[kind]
    if kind == "fifo":
        os.mkfifo(target)
    elif kind == "directory":
        target.mkdir()
    elif kind == "link to a device":
        target.symlink_to(device)
    result = data.run("diagram", target, check=3)
    assert "not a regular file" in result.stderr
    assert result.stdout == ""
    if kind != "fifo":
        assert not stat.S_ISREG(os.stat(target).st_mode)
    else:
        assert stat.S_ISFIFO(os.lstat(target).st_mode)
    if kind in ("device", "link to a device"):
        assert stat.S_ISCHR(os.lstat(device).st_mode)
    assert [p.name for p in data.path.iterdir() if p.name.startswith(".")] == []


@pytest.mark.parametrize("name", ["-", "/dev/stdout"])
def test_diagram_to_standard_output_writes_the_document_there(data, name):
    result = data.run("diagram", name, check=0)
    assert ElementTree.fromstring(result.stdout).tag == SVG + "svg"


def test_states_drawn_where_the_tables_are_poor_are_told_and_strict_fails_on_them(data):
    points = data.path / "process.csv"
    # Steam just above boiling at 1 atm: the table answer lies inside the
    # wet dome (a mixed cell), the refined one, the default, does not.
    points.write_text("p,T,label\n1.01325,101,a\n10,300,b\n")
    chart = data.path / "chart.svg"
    table = data.run("--table", "diagram", "--points", points, chart, check=0)
    assert "process.csv line 2: caution: v, h, s: " in table.stderr and "line 3" not in table.stderr
    assert chart.exists()
    data.run("--table", "--strict", "diagram", "--points", points, chart, check=4)
    assert data.run("--strict", "diagram", "--points", points, chart, check=0).stderr == ""
    # Around the critical point even the refined answer is flagged.
    points.write_text("p,T\n220,374\n")
    result = data.run("--strict", "diagram", "--points", points, chart, check=4)
    assert "line 2: caution: v, h, s: " in result.stderr and "IAPWS-IF97" in result.stderr


@pytest.mark.parametrize("kind", ["fifo", "endless device"])
def test_a_points_file_that_is_no_regular_file_is_refused_at_once(data, kind):
    # Nobody writes to the FIFO, and a copy of /dev/zero never ends: both
    # would hold the tool for ever.
    points = data.path / "points.csv"
    if kind == "fifo":
        os.mkfifo(points)
    else:
        try:
            os.mknod(points, 0o666 | stat.S_IFCHR, os.makedev(1, 5))
        except PermissionError:
            pytest.skip("making a device needs root")
    result = data.run("diagram", "--points", points, data.path / "chart.svg", check=2)
    assert "not a regular file" in result.stderr and str(points) in result.stderr
    assert not (data.path / "chart.svg").exists()
