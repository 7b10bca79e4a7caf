#!/usr/bin/python3
"""Generates the property tables of the library from IAPWS-IF97 and the
shipped unit configuration:

    zarude.dat    saturation table by pressure       292 records of 28 bytes
    vevuzu.dat    saturation table by temperature    377 records of 28 bytes
    didizar.dat   single-phase table                 224 x 81 entries of 12 bytes
    default.cfg   unit selections                    31 signed 16-bit words

    /usr/bin/python3 tools/generate_tables.py [DIRECTORY]   (default: data/)

The properties come from the IF97 implementation of python3-iapws (class
IAPWS97); nothing here evaluates an equation of state of its own. Every
state is computed at the exact decimal value of its grid point (bar and
degC converted to MPa and K as exact rationals, rounded once to a double)
and every value is stored as a little-endian IEEE single rounded to nearest,
in the library's internal units: bar, degC, m3/kg, kJ/kg, kJ/(kg K).

The library bounds the saturation line at 221.2 bar and 374.15 degC, a
little above IF97's critical point (220.64 bar, 373.946 degC). Saturation
records beyond IF97's critical point hold IF97's critical state, liquid and
vapour values equal.

The tables are checked before anything is written; a failed check prints
its reason and exits with status 1. The output is deterministic: two runs
give byte-identical files.
"""

import argparse
import math
import struct
import sys
import warnings
from fractions import Fraction
from pathlib import Path

from iapws import IAPWS97
from iapws.iapws97 import Pc as CRITICAL_PRESSURE_MPA
from iapws.iapws97 import Tc as CRITICAL_TEMPERATURE_K
from iapws.iapws97 import rhoc as CRITICAL_DENSITY

DEFAULT_DIRECTORY = Path(__file__).resolve().parent.parent / "data"

KELVIN_AT_ZERO_CELSIUS = Fraction("273.15")

# IF97's boundary between region 1 (liquid) / region 2 (vapour) and region 3
# on the saturation line. At or below it IAPWS97(T, x) evaluates the
# saturated phases with the basic equations of regions 1 and 2; above it
# IAPWS97(T, x) takes the region-3 density from the backward equation
# v(p, T) alone, which misses the saturation pressure by up to 1e-3 MPa and
# the enthalpy by up to 0.4 kJ/kg near the critical point. IAPWS97(p, x)
# instead solves the region-3 equation for the density at the saturation
# pressure, so above this temperature the saturated states are taken at the
# saturation pressure of the temperature.
REGION_3_SATURATION_K = 623.15

# Saturation pressure grid (bar): segments of (points, k0, start, step),
# point k = start + (k - k0) x step, then the library's critical pressure.
SATURATION_PRESSURE_SEGMENTS = [
    (19, 0, "0.005", "0.005"),
    (20, 19, "0.1", "0.01"),
    (5, 39, "0.3", "0.02"),
    (12, 44, "0.4", "0.05"),
    (40, 56, "1", "0.1"),
    (25, 96, "5", "0.2"),
    (40, 121, "10", "0.5"),
    (70, 161, "30", "1"),
    (60, 231, "100", "2"),
]
SATURATION_PRESSURE_LAST = "221.2"

# Single-phase pressure grid (bar), same form.
SINGLE_PHASE_PRESSURE_SEGMENTS = [
    (10, 0, "0", "0.01"),
    (20, 10, "0.1", "0.02"),
    (10, 30, "0.5", "0.05"),
    (20, 40, "1", "0.1"),
    (10, 60, "3", "0.2"),
    (30, 70, "5", "0.5"),
    (30, 100, "20", "1"),
    (25, 130, "50", "2"),
    (20, 155, "100", "5"),
    (30, 175, "200", "10"),
    (15, 205, "500", "20"),
    (4, 220, "800", "50"),
]

SINGLE_PHASE_TEMPERATURES_C = [Fraction(10 * j) for j in range(81)]

# The saturation table by temperature: record 0 is never read; records 1 to
# 375 are 0 to 374 degC, record 376 is the library's critical temperature.
SATURATION_TEMPERATURES_C = [Fraction(t) for t in range(375)] + [Fraction("374.15")]

SATURATION_RECORD = struct.Struct("<7f")
SINGLE_PHASE_ENTRY = struct.Struct("<3f")

FILE_SIZES = {
    "zarude.dat": 292 * 28,
    "vevuzu.dat": 377 * 28,
    "didizar.dat": 224 * 81 * 12,
    "default.cfg": 31 * 2,
}

# Unit selections shipped in default.cfg: word k selects the unit of quantity
# code k. All first units ("bar", "C", "kJ/kg", "kJ/kg,K", ...) except three
# whose first unit is not the one engineers read these properties in: the
# specific volume (code 12; "m3/ton", 1 selects "m3/kg"), the density (code
# 2; "ton/m3", 1 selects "kg/m3") and the thermal conductivity (code 23;
# "KW/m,C", 1 selects "W/m,C").
SPECIFIC_VOLUME_CODE = 12
DENSITY_CODE = 2
THERMAL_CONDUCTIVITY_CODE = 23
SECOND_UNIT_CODES = (DENSITY_CODE, SPECIFIC_VOLUME_CODE, THERMAL_CONDUCTIVITY_CODE)
SHIPPED_UNIT_SELECTIONS = [1 if k in SECOND_UNIT_CODES else 0 for k in range(31)]


class TableError(Exception):
    """A generated table failed a check; nothing is written."""


def pressure_grid(segments):
    grid = []
    for points, k0, start, step in segments:
        for k in range(k0 + 1, k0 + points + 1):
            grid.append(Fraction(start) + (k - k0) * Fraction(step))
    return grid


def saturation_pressure_grid():
    return pressure_grid(SATURATION_PRESSURE_SEGMENTS) + [Fraction(SATURATION_PRESSURE_LAST)]


def single_phase_pressure_grid():
    return pressure_grid(SINGLE_PHASE_PRESSURE_SEGMENTS)


def megapascal(p_bar):
    return float(p_bar / 10)


def kelvin(t_celsius):
    return float(t_celsius + KELVIN_AT_ZERO_CELSIUS)


def bar(p_megapascal):
    return float(Fraction(p_megapascal) * 10)


def celsius(t_kelvin):
    return float(Fraction(t_kelvin) - KELVIN_AT_ZERO_CELSIUS)


def phase_values(state):
    return state.v, state.h, state.s


def critical_state():
    """IF97's critical point as (T degC, p bar, liquid, vapour)."""
    liquid = IAPWS97(T=CRITICAL_TEMPERATURE_K, x=0)
    vapour = IAPWS97(T=CRITICAL_TEMPERATURE_K, x=1)
    # Both evaluate region 3 at the critical density; its pressure there is
    # 22.06399999995 MPa, so the pressure is taken from the constant.
    return (celsius(CRITICAL_TEMPERATURE_K), bar(CRITICAL_PRESSURE_MPA),
            phase_values(liquid), phase_values(vapour))


def saturation_at_pressure(p_bar):
    """(Ts degC, liquid (v, h, s), vapour (v, h, s)) at a pressure in bar."""
    p = megapascal(p_bar)
    if p >= CRITICAL_PRESSURE_MPA:
        t, _, liquid, vapour = critical_state()
        return t, liquid, vapour
    liquid = IAPWS97(P=p, x=0)
    vapour = IAPWS97(P=p, x=1)
    return celsius(liquid.T), phase_values(liquid), phase_values(vapour)


def saturation_at_temperature(t_celsius):
    """(Psat bar, liquid (v, h, s), vapour (v, h, s)) at a temperature in degC."""
    t = kelvin(t_celsius)
    if t >= CRITICAL_TEMPERATURE_K:
        _, p, liquid, vapour = critical_state()
        return p, liquid, vapour
    if t <= REGION_3_SATURATION_K:
        liquid = IAPWS97(T=t, x=0)
        vapour = IAPWS97(T=t, x=1)
        return bar(liquid.P), phase_values(liquid), phase_values(vapour)
    # A two-phase state carries the saturation pressure of the region-4
    # equation; only that pressure is used from it.
    p = IAPWS97(T=t, x=0.5).P
    liquid = IAPWS97(P=p, x=0)
    vapour = IAPWS97(P=p, x=1)
    return bar(p), phase_values(liquid), phase_values(vapour)


def single_phase_values(p_bar, t_celsius):
    """(v, h, s) of the phase IF97 assigns to the node (regions 1, 2, 3)."""
    return phase_values(IAPWS97(P=megapascal(p_bar), T=kelvin(t_celsius)))


def as_single(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def build_zarude():
    records = []
    for p_bar in saturation_pressure_grid():
        t, liquid, vapour = saturation_at_pressure(p_bar)
        records.append(saturation_record(t, liquid, vapour))
    return b"".join(records)


def build_vevuzu():
    records = [SATURATION_RECORD.pack(*[0.0] * 7)]
    for t_celsius in SATURATION_TEMPERATURES_C:
        p, liquid, vapour = saturation_at_temperature(t_celsius)
        records.append(saturation_record(p, liquid, vapour))
    return b"".join(records)


def saturation_record(first, liquid, vapour):
    (vf, hf, sf), (vg, hg, sg) = liquid, vapour
    return SATURATION_RECORD.pack(first, vf, vg, hf, hg, sf, sg)


def build_didizar():
    entries = []
    for p_bar in single_phase_pressure_grid():
        for t_celsius in SINGLE_PHASE_TEMPERATURES_C:
            entries.append(SINGLE_PHASE_ENTRY.pack(*single_phase_values(p_bar, t_celsius)))
    return b"".join(entries)


def build_default_cfg():
    return struct.pack("<31h", *SHIPPED_UNIT_SELECTIONS)


def saturation_records(data):
    return [SATURATION_RECORD.unpack_from(data, offset)
            for offset in range(0, len(data), SATURATION_RECORD.size)]


def isobars(data):
    entries = [SINGLE_PHASE_ENTRY.unpack_from(data, offset)
               for offset in range(0, len(data), SINGLE_PHASE_ENTRY.size)]
    return [entries[i:i + 81] for i in range(0, len(entries), 81)]


def require(condition, message):
    if not condition:
        raise TableError(message)


def check_sizes(tables):
    for name, expected in FILE_SIZES.items():
        size = len(tables[name])
        require(size == expected, f"{name}: {size} bytes, expected {expected}")


def check_finite(name, rows):
    for index, row in enumerate(rows):
        require(all(math.isfinite(x) for x in row), f"{name}: record {index} is not finite: {row}")


def check_saturation_record(name, index, record, critical):
    _, vf, vg, hf, hg, sf, sg = record
    if critical:
        require((vf, hf, sf) == (vg, hg, sg),
                f"{name}: record {index} at the critical state has liquid != vapour: {record}")
        return
    # The critical volume lies between the two saturated volumes on the whole
    # line; a region-3 solution that found the wrong root breaks this.
    vc = as_single(1 / CRITICAL_DENSITY)
    require(vf < vc < vg and hf < hg and sf < sg,
            f"{name}: record {index} has liquid not below vapour: {record}")


def check_zarude(data):
    records = saturation_records(data)
    check_finite("zarude.dat", records)
    grid = saturation_pressure_grid()
    for index, (p_bar, record) in enumerate(zip(grid, records)):
        critical = megapascal(p_bar) >= CRITICAL_PRESSURE_MPA
        check_saturation_record("zarude.dat", index, record, critical)
    for index in range(1, len(records)):
        require(records[index][0] > records[index - 1][0],
                f"zarude.dat: saturation temperature not rising at record {index}")


def check_vevuzu(data):
    records = saturation_records(data)
    check_finite("vevuzu.dat", records)
    require(records[0] == (0.0,) * 7, "vevuzu.dat: record 0 is not all zero")
    for index, t_celsius in enumerate(SATURATION_TEMPERATURES_C, start=1):
        critical = kelvin(t_celsius) >= CRITICAL_TEMPERATURE_K
        check_saturation_record("vevuzu.dat", index, records[index], critical)
    for index in range(2, len(records)):
        require(records[index][0] >= records[index - 1][0],
                f"vevuzu.dat: saturation pressure falling at record {index}")


def check_didizar(data):
    lines = isobars(data)
    for i, (p_bar, line) in enumerate(zip(single_phase_pressure_grid(), lines), start=1):
        check_finite(f"didizar.dat isobar {i}", line)
        for j in range(1, len(line)):
            require(line[j][1] > line[j - 1][1] and line[j][2] > line[j - 1][2],
                    f"didizar.dat: enthalpy or entropy not rising with temperature "
                    f"at {float(p_bar)} bar, {10 * j} degC")
        check_isobar_phases(i, p_bar, line)


def check_isobar_phases(i, p_bar, line):
    """Below the critical pressure every node lies on the side of the
    saturation line that its temperature says: liquid enthalpy below the
    saturated liquid's, vapour enthalpy above the saturated vapour's."""
    if megapascal(p_bar) >= CRITICAL_PRESSURE_MPA:
        return
    ts, (_, hf, _), (_, hg, _) = saturation_at_pressure(p_bar)
    for j, (_, h, _) in enumerate(line):
        t = 10 * j
        liquid = t < ts
        require(h < hf if liquid else h > hg,
                f"didizar.dat: isobar {i} ({float(p_bar)} bar) at {t} degC holds the wrong phase "
                f"(h = {h}, saturation {ts} degC, hf = {hf}, hg = {hg})")


def check_tables(tables):
    check_sizes(tables)
    check_zarude(tables["zarude.dat"])
    check_vevuzu(tables["vevuzu.dat"])
    check_didizar(tables["didizar.dat"])


def build_tables():
    return {
        "zarude.dat": build_zarude(),
        "vevuzu.dat": build_vevuzu(),
        "didizar.dat": build_didizar(),
        "default.cfg": build_default_cfg(),
    }


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("directory", nargs="?", type=Path, default=DEFAULT_DIRECTORY,
                        help="where to write the files (default: %(default)s)")
    args = parser.parse_args(argv)

    # A warning or a solver failure inside iapws (a Newton iteration that did
    # not converge, a state outside IF97's regions) means a suspect number.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        try:
            tables = build_tables()
            check_tables(tables)
        except (TableError, Warning, NotImplementedError, RuntimeError) as error:
            print(f"generate_tables: {type(error).__name__}: {error}", file=sys.stderr)
            return 1

    args.directory.mkdir(parents=True, exist_ok=True)
    for name, data in tables.items():
        (args.directory / name).write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
