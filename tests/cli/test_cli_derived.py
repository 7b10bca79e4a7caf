"""The derived properties in the tool's state and batch state: each with
the unit of its quantity in the run's configuration, against python3-iapws,
and the reason where a state has none."""

import csv
import io

import pytest
from iapws import IAPWS97

from cli_support import INTERNAL_UNITS


def state_lines(output):
    return {line[:20].strip(): line[21:] for line in output.splitlines() if not line.startswith("caution")}


def number_and_unit(text):
    number, _, unit = text.partition(" ")
    return float(number), unit


# The data copy selects the first unit of each quantity but the volume's:
# density in ton/m3 and thermal conductivity in kW/(m C).
EXPECTED_UNITS = {"density": ("ton/m3", 1e-3), "internal energy": ("kJ/kg", 1), "cp": ("kJ/kg,K", 1),
                  "cv": ("kJ/kg,K", 1), "speed of sound": ("m/s", 1), "viscosity": ("Ns/m2", 1),
                  "thermal conductivity": ("KW/m,C", 1e-3), "Prandtl number": ("", 1)}
REFERENCE = {"density": "rho", "internal energy": "u", "cp": "cp", "cv": "cv", "speed of sound": "w",
             "viscosity": "mu", "thermal conductivity": "k", "Prandtl number": "Prandt"}


@pytest.mark.parametrize("p, t", [(1, 25), (160, 540), (10, 300), (600, 100)])
def test_state_prints_the_derived_properties_in_the_configured_units(data, p, t):
    assert INTERNAL_UNITS == {12: 1}
    lines = state_lines(data.run("state", f"p={p}", f"T={t}", check=0).stdout)
    reference = IAPWS97(P=p / 10, T=t + 273.15)
    for label, (unit, factor) in EXPECTED_UNITS.items():
        value, printed = number_and_unit(lines[label])
        assert printed == unit, label
        assert value == pytest.approx(getattr(reference, REFERENCE[label]) * factor, rel=2e-4), label
    assert lines["surface tension"].startswith("none (a single phase")


def test_wet_steam_says_why_it_has_no_heat_capacity_and_gives_the_surface_tension(data):
    lines = state_lines(data.run("state", "p=10", "x=0.3", check=0).stdout)
    for label in ("cp", "cv", "speed of sound", "viscosity", "thermal conductivity", "Prandtl number"):
        assert lines[label] == "none (wet steam: a property of a single phase)"
    sigma, unit = number_and_unit(lines["surface tension"])
    assert unit == "N/m" and sigma == pytest.approx(IAPWS97(P=1, x=0.3).sigma, rel=1e-3)
    density, _ = number_and_unit(lines["density"])
    volume, _ = number_and_unit(lines["specific volume"])
    assert density == pytest.approx(1e-3 / volume, rel=1e-6)


def test_batch_state_has_a_column_per_derived_property_as_state_prints_it(data):
    given = ["1,25", "10,179.88", "10,300"]
    result = data.run("batch", "--header", "state", "p", "T", input="p,T\n" + "\n".join(given), check=0)
    rows = list(csv.reader(io.StringIO(result.stdout)))
    header = rows[0]
    first = header.index("phase") + 1
    assert header[first:first + 9] == [
        "density [ton/m3]", "internal energy [kJ/kg]", "cp [kJ/kg,K]", "cv [kJ/kg,K]", "speed of sound [m/s]",
        "viscosity [Ns/m2]", "thermal conductivity [KW/m,C]", "Prandtl number", "surface tension [N/m]"]
    for row, line in zip(rows[1:], given):
        p, t = line.split(",")
        lines = state_lines(data.run("state", "p=" + p, "T=" + t, check=0).stdout)
        for k, title in enumerate(header[first:first + 9]):
            label = title.split(" [")[0]
            shown = lines[label]
            assert row[first + k] == ("" if shown.startswith("none") else shown.split()[0]), label


def test_state_by_pressure_and_internal_energy_or_by_density_is_the_same_state(data):
    known = state_lines(data.run("state", "p=10", "T=300", check=0).stdout)
    u, _ = number_and_unit(known["internal energy"])
    density, _ = number_and_unit(known["density"])
    by_energy = state_lines(data.run("state", "p=10", f"u={u!r}", check=0).stdout)
    assert number_and_unit(by_energy["temperature"])[0] == pytest.approx(300, abs=1e-3)
    by_density = state_lines(data.run("state", "T=300", f"rho={density!r}", check=0).stdout)
    assert number_and_unit(by_density["pressure"])[0] == pytest.approx(10, rel=1e-4)
    assert "do not fix a state" in data.run("state", "T=300", "u=2700", check=2).stderr
    assert "do not fix a state" in data.run("state", "v=0.2", "rho=5", check=2).stderr
