"""The accuracy report against IAPWS-IF97: its states, its error figures and
its output, on a stand-in library and on the built one (RUDID32_LIBRARY)."""

import math
import os
import subprocess
import sys
from pathlib import Path

import pytest
from iapws import IAPWS97
from iapws.iapws97 import _TSat_P

REPO = Path(__file__).resolve().parents[2]
SCRIPT = REPO / "bench" / "accuracy_report.py"

sys.path.insert(0, str(SCRIPT.parent))
import accuracy_report as report  # noqa: E402


class StandInLibrary:
    """Answers AQPPT and the pressure-temperature functions from IF97 itself
    (optionally from the wrong column), everything else with an error code."""

    def __init__(self, columns=None, fail=()):
        self.columns = columns or {"AQPPTH": "h", "AQPPTS": "s", "AQPPTV": "v"}
        self.fail = set(fail)

    def call(self, name, *args):
        if name in self.fail:
            raise report.CallFailed(f"{name}{args}: no result")
        if name == "AQPPT":
            return _TSat_P(args[0] / 10.0) - report.KELVIN
        if name in self.columns:
            p, t = args
            state = IAPWS97(P=p / 10.0, T=t + report.KELVIN)
            return getattr(state, self.columns[name])
        return -1014.0


@pytest.fixture(scope="module")
def samples():
    return report.build_samples(40)


def test_states_are_deterministic_and_cover_the_domain(samples):
    again = report.build_samples(40)
    assert {n: [s.args for s in v] for n, v in samples.items()} == \
           {n: [s.args for s in v] for n, v in again.items()}
    assert set(samples) == set(report.EXPORTS)
    for name, family in samples.items():
        assert any(s.critical for s in family) and any(not s.critical for s in family), name
        for sample in family:
            first = sample.args[0]
            if name.startswith("AQPT"):
                assert 0.0 <= first <= report.T_SAT_MAX, (name, sample.where)
            else:
                assert report.P_MIN <= first <= report.P_MAX, (name, sample.where)
            if name in ("AQPPT",) or name.startswith("AQPPQ"):
                assert first <= report.P_SAT_MAX
            if name.startswith(("AQPTQ", "AQPPQ")):
                assert 0.0 <= sample.args[1] <= 1.0
            if name.startswith("AQPPT") and name != "AQPPT":
                assert 0.0 <= sample.args[1] <= report.T_MAX
    # Pressures spread over decades, with grid nodes and states off them.
    pt = [s for s in samples["AQPPTH"] if not s.critical]
    assert min(s.p for s in pt) < 0.1 and max(s.p for s in pt) > 100
    assert any(s.node for s in pt) and sum(not s.node for s in pt) > len(pt) // 2
    # The inverse functions are entered with the key of the known state.
    wet = [s for s in samples["AQPPHQ"] if 0 < s.expected["AQPPHQ"] < 1]
    assert wet, "no wet states for the inverse functions"
    single_phase = [s for s in samples["AQPPHT"] if s.expected["AQPPHQ"] in (0.0, 1.0)]
    for sample in single_phase[:10]:
        known = IAPWS97(P=sample.p / 10.0, T=sample.expected["AQPPHT"] + report.KELVIN)
        assert math.isclose(sample.args[1], known.h, rel_tol=1e-9)
        assert math.isclose(sample.expected["AQPPHS"], known.s, rel_tol=1e-9)


def test_exact_answers_give_zero_error_and_error_codes_are_set_apart(samples):
    tallies = report.compare(StandInLibrary(), samples)
    figures = {name: report.summarise(t) for name, t in tallies["all"].items()}
    for name in ("AQPPT", "AQPPTH", "AQPPTS", "AQPPTV"):
        assert figures[name]["states"] > 0
        assert figures[name]["abs"][2] < 1e-9, name
        assert figures[name]["swapped"][0] == 0
    assert figures["AQPPHT"]["states"] == 0
    assert figures["AQPPHT"]["code_list"] == {-1014.0: figures["AQPPHT"]["codes"]}
    assert figures["AQPPHT"]["codes"] > 0


def test_a_lookup_answering_from_the_wrong_column_stands_out(samples):
    library = StandInLibrary({"AQPPTH": "s", "AQPPTS": "s", "AQPPTV": "v"})
    tallies = report.compare(library, samples)
    wrong = report.summarise(tallies["all"]["AQPPTH"])
    right = report.summarise(tallies["all"]["AQPPTS"])
    assert wrong["rel"][0] > 0.5
    assert right["rel"][2] < 1e-9


def test_a_failed_call_is_reported_and_fails_the_run(samples, capsys):
    tallies = report.compare(StandInLibrary(fail={"AQPPTV"}), samples)
    assert not report.report(tallies, "stand-in", 40, 0.0, markdown=True)
    assert "FAILED CALLS" in capsys.readouterr().out


def test_statistics():
    assert report.percentile([1.0, 2.0, 3.0, 4.0], 0.5) == 2.0
    assert report.percentile(list(range(1, 101)), 0.95) == 95
    assert report.percentile([], 0.5) is None
    # Temperatures relative to kelvin, enthalpy with its 1 kJ/kg floor.
    assert report.relative_error("T", 1.0, 0.0) == pytest.approx(1 / 273.15)
    assert report.relative_error("h", 0.5, 0.04) == 0.5
    assert report.relative_error("x", 1.0, 0.0) is None


# --------------------------------------------------------------------------
# On the built library

def parse_tables(text):
    """[(heading, [row cells])] of the Markdown tables in the output."""
    tables, heading, rows = [], None, None
    for line in text.splitlines():
        if line.startswith("### "):
            heading = line[4:]
        elif line.startswith("|"):
            cells = [c.strip() for c in line.strip("|").split("|")]
            if rows is None:
                rows = [cells]
            elif not set(line) <= set("|-: "):
                rows.append(cells)
        elif rows is not None:
            tables.append((heading, rows))
            rows = None
    if rows is not None:
        tables.append((heading, rows))
    return tables


def number(cell):
    return None if cell == "-" else float(cell)


@pytest.fixture(scope="module")
def built_report():
    library = os.environ.get("RUDID32_LIBRARY")
    if not library:
        pytest.skip("RUDID32_LIBRARY is not set")
    run = subprocess.run([sys.executable, str(SCRIPT), "--library", library,
                          "--states", "150", "--markdown"],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stdout[-2000:] + run.stderr
    return run.stdout


def test_built_library_report_is_well_formed(built_report):
    tables = parse_tables(built_report)
    assert [h.split(":")[0] for h, _ in tables] == [
        "Whole domain (outside the critical window)", "Near the critical point",
        "At the table grid nodes (part of the whole-domain states)"]
    for heading, rows in tables:
        header, body = rows[0], rows[1:]
        assert [r[0].strip("`") for r in body] == list(report.EXPORTS), heading
        for row in body:
            assert len(row) == len(header), (heading, row)
            counts = row[2:5] if len(header) == len(report.HEADER) else row[2:3]
            assert all(c.isdigit() for c in counts), row
            numbers = row[5:11] if len(header) == len(report.HEADER) else row[3:5]
            for cell in numbers:
                number(cell)
    assert "Run time:" in built_report


def test_built_library_errors_are_within_sane_bounds(built_report):
    (_, domain), _, (_, nodes) = parse_tables(built_report)
    header = domain[0]
    column = {title: i for i, title in enumerate(header)}
    for row in domain[1:]:
        name = row[0].strip("`")
        assert int(row[column["States"]]) >= 100, name
        if report.EXPORTS[name][1] == "x":
            assert number(row[column["Median abs"]]) < 1e-3, name
        else:
            assert number(row[column["Median rel"]]) < 1e-3, name
    # At the grid nodes the tables give IF97's values to single precision.
    exact = {"AQPPT", "AQPPQH", "AQPPQS", "AQPPQV", "AQPPTH", "AQPPTS", "AQPPTV",
             "AQPPHT", "AQPPHS", "AQPPHV", "AQPPST", "AQPPSH", "AQPPSV"}
    for row in nodes[1:]:
        name = row[0].strip("`")
        if name in exact and int(row[2]):
            assert number(row[4]) < 1e-5, (name, row)
