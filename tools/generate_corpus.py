#!/usr/bin/python3
"""Writes the stored corpora of expected results: what a release of the
library answers, bit for bit, for every property function in several
configurations, so that a later build can be checked against them. The
table corpus holds the table answers and state flags
(tests/api/stored_corpus_test.cpp); the refined corpus the refined answers
of RudidEvaluateRefined and their RudidRefinedFlags
(tests/api/stored_refined_corpus_test.cpp).

    /usr/bin/python3 tools/generate_corpus.py LIBRARY [--data DIR] [--output FILE]
                                              [--refined-output REFINED]

LIBRARY is the libRUDID32.so of the release to record; DIR the shipped
tables (default data/); FILE the table corpus (default
tests/corpus/expected_results.txt), REFINED the refined corpus (default
tests/corpus/refined_results.txt). Every run writes both. Regenerate only on
purpose, from a release whose answers are right, and review the diff: the
corpora are the reference that every change of the lookups is held to.

When to regenerate the refined corpus: when a change means to alter refined
answers or refined flags (the interpolation forms, the clearance from the
saturation line, the solver of the inverse functions, the bounds of the
critical region or of an ill-posed volume), and only then. Make the change,
run this once against its build and review the diff of refined_results.txt:
it must touch only the answers the change is meant to move, and the table
corpus must stay byte for byte as it was (a change of the refined answers
never moves a table answer). A diff in either file that the change does not
explain is a fault to find, not a corpus to regenerate.

The refined corpus takes the table corpus's cases in the configurations of
REFINED_CONFIGURATIONS (no damaged tables: they fail refined answers the
same way) plus cases of its own: the edges of the refined critical region
and, for the functions of volume, volumes at and just above the refined
0 C volume where the reach of an ill-posed answer ends.

Each configuration gets a scratch data directory (copies of the tables, cut
short or left out where the configuration says, and a default.cfg) and a
fresh copy of LIBRARY loaded under its own file name: start-up reads the
configuration once per load. Function names, arities, argument quantities,
unit names and selection words all come from the library's self-description.

Arguments are chosen in the library's internal units (bar, C, kJ/kg,
kJ/(kg K), m3/kg) where the rules of the lookups sit: grid points and cell
corners, both sides of the saturation line and its 0.001 C band, cells the
saturation line crosses, the critical region, the ends of the tables, values
just out of range, plus a seeded random sample. In a configuration with
other units they are converted with the library's RudidToConfiguredUnit,
except NaN, infinities, huge, subnormal and negative-zero arguments, which
are passed as they are. The output is deterministic: two runs give identical files.
"""

import argparse
import ctypes
import math
import os
import random
import shutil
import struct
import sys
import tempfile
import zlib
from fractions import Fraction
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_DATA = ROOT / "data"
DEFAULT_OUTPUT = ROOT / "tests" / "corpus" / "expected_results.txt"
DEFAULT_REFINED_OUTPUT = ROOT / "tests" / "corpus" / "refined_results.txt"

QUALITY, PRESSURE, ENTHALPY, TEMPERATURE, ENTROPY, VOLUME = -1, 3, 5, 6, 10, 12
TABLES = ("zarude.dat", "vevuzu.dat", "didizar.dat")
ISOBAR_BYTES = 81 * 12


class Configuration:
    """One data directory: `units` maps quantity codes to unit names (None:
    the shipped default.cfg); `tables` maps a table file to "missing" or to
    the number of bytes it is cut to. A reduced configuration gets a sample
    of the cases."""

    def __init__(self, name, units=None, tables=None, reduced=False):
        self.name, self.units, self.tables, self.reduced = name, units, tables or {}, reduced


CONFIGURATIONS = [
    Configuration("shipped"),
    Configuration("imperial", units={PRESSURE: "psi", TEMPERATURE: "F", ENTHALPY: "Btu/lbm",
                                     ENTROPY: "Btu/lbm,F", VOLUME: "ft3/lbm"}),
    Configuration("metric", units={PRESSURE: "MPa", TEMPERATURE: "K", ENTHALPY: "kJ/kg",
                                   ENTROPY: "kJ/kg,K", VOLUME: "m3/ton"}),
    # 120 whole isobars (up to 70 bar) and part of the 121st.
    Configuration("short-didizar", tables={"didizar.dat": 120 * ISOBAR_BYTES + 500}, reduced=True),
    Configuration("no-zarude", tables={"zarude.dat": "missing"}, reduced=True),
    Configuration("no-vevuzu", tables={"vevuzu.dat": "missing"}, reduced=True),
    Configuration("no-didizar", tables={"didizar.dat": "missing"}, reduced=True),
]

# The configurations of the refined corpus: the internal units and two that
# convert every argument and result but the quality. Damaged tables fail the
# refined answers the way they fail the table answers, so none is repeated.
REFINED_CONFIGURATIONS = [
    CONFIGURATIONS[0],
    CONFIGURATIONS[1],
    Configuration("joule", units={PRESSURE: "MPa", TEMPERATURE: "K", ENTHALPY: "J/kg",
                                  ENTROPY: "J/kg,k", VOLUME: "dm3/kg"}),
]

# ---------------------------------------------------------------- library


class Library:
    """A fresh copy of the library loaded with one configuration."""

    def __init__(self, path, copy_directory, ini):
        copy = copy_directory / f"libRUDID32-{len(list(copy_directory.iterdir()))}.so"
        shutil.copyfile(path, copy)
        previous = os.environ.get("ZAREVIRU_INI")
        os.environ["ZAREVIRU_INI"] = str(ini)
        try:
            self.lib = ctypes.CDLL(str(copy), mode=os.RTLD_LOCAL)
        finally:
            if previous is None:
                del os.environ["ZAREVIRU_INI"]
            else:
                os.environ["ZAREVIRU_INI"] = previous
        lib = self.lib
        for name in ("RudidFunctionName", "RudidUnitName", "RudidConfiguredUnit", "RudidStartupMessage"):
            getattr(lib, name).restype = ctypes.c_char_p
        lib.RudidToConfiguredUnit.restype = ctypes.c_double
        lib.RudidToConfiguredUnit.argtypes = [ctypes.c_int, ctypes.c_double]
        lib.RudidStateFlags.argtypes = [ctypes.c_char_p, ctypes.c_double, ctypes.c_double]
        lib.RudidEvaluate.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_double),
                                      ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_double),
                                      ctypes.POINTER(ctypes.c_int)]
        lib.RudidEvaluateRefined.argtypes = lib.RudidEvaluate.argtypes
        lib.RudidRefinedFlags.argtypes = lib.RudidStateFlags.argtypes
        self.functions = []
        for index in range(lib.RudidFunctionCount()):
            name = lib.RudidFunctionName(index).decode()
            arity = lib.RudidFunctionArity(index)
            function = getattr(lib, name)
            function.restype = ctypes.POINTER(ctypes.c_double)
            function.argtypes = [ctypes.c_double] * arity
            arguments = [lib.RudidFunctionArgument(index, position) for position in range(1, arity + 1)]
            self.functions.append((name, arity, arguments, function))

    def unit_selection(self, quantity, unit):
        names = [self.lib.RudidUnitName(quantity, i).decode() for i in range(self.lib.RudidUnitCount(quantity))]
        return self.lib.RudidUnitSelectionWord(quantity), names.index(unit)

    def single(self, function, arguments):
        result = function(*arguments)
        return ("value", bits(result[0])) if result else ("fail", self.lib.RudidLastError())

    def batch(self, name, rows, arity, evaluate=None):
        """The rows in one call of RudidEvaluate, or of `evaluate` (a
        function of the same signature)."""
        n = len(rows)
        first = (ctypes.c_double * n)(*[row[0] for row in rows])
        second = (ctypes.c_double * n)(*[row[1] for row in rows]) if arity == 2 else None
        result = (ctypes.c_double * n)()
        failure = (ctypes.c_int * n)()
        failed = (evaluate or self.lib.RudidEvaluate)(name.encode(), n, first, second, result, failure)
        outcomes = [("fail", failure[i]) if failure[i] else ("value", bits(result[i])) for i in range(n)]
        # The documented form of a failed row; the corpus keeps only its code.
        assert failed == sum(kind == "fail" for kind, _ in outcomes), f"{name}: count of failed rows"
        assert all(math.isnan(result[i]) for i in range(n) if failure[i]), f"{name}: failed row without NaN"
        return outcomes

    def flags(self, name, arguments):
        return self.lib.RudidStateFlags(name.encode(), arguments[0], arguments[1] if len(arguments) > 1 else 0.0)

    def refined(self, name, arguments):
        """The refined answer of one state: RudidEvaluateRefined with n = 1."""
        row = tuple(arguments) + (0.0,) * (2 - len(arguments))
        return self.batch(name, [row], 2, self.lib.RudidEvaluateRefined)[0]

    def refined_flags(self, name, arguments):
        return self.lib.RudidRefinedFlags(name.encode(), arguments[0], arguments[1] if len(arguments) > 1 else 0.0)


def bits(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def from_bits(b):
    return struct.unpack("<d", struct.pack("<Q", b))[0]


def prepare_directory(configuration, data, directory, shipped_library):
    """Writes the tables, default.cfg and ZAREVIRU.INI of a configuration;
    returns the INI file and the default.cfg description of the corpus."""
    directory.mkdir()
    for table in TABLES:
        treatment = configuration.tables.get(table)
        if treatment == "missing":
            continue
        content = (data / table).read_bytes()
        if treatment is not None:
            content = content[:treatment]
        (directory / table).write_bytes(content)
    if configuration.units is None:
        shutil.copyfile(data / "default.cfg", directory / "default.cfg")
        unit_description = "shipped"
    else:
        words = [0] * 31
        for quantity, unit in sorted(configuration.units.items()):
            word, selection = shipped_library.unit_selection(quantity, unit)
            words[word] = selection
        (directory / "default.cfg").write_bytes(struct.pack("<31h", *words))
        unit_description = ",".join(f"{w}:{v}" for w, v in enumerate(words) if v)
    ini = directory / "ZAREVIRU.INI"
    ini.write_text(f"[STARTUP]\nDIR={directory}\n")
    return ini, unit_description


# ------------------------------------------------------------ the tables


def grid(segments, last=None):
    points = []
    for count, k0, start, step in segments:
        points += [float(Fraction(start) + (k - k0) * Fraction(step)) for k in range(k0 + 1, k0 + count + 1)]
    return points + ([float(Fraction(last))] if last else [])


SATURATION_PRESSURES = grid([(19, 0, "0.005", "0.005"), (20, 19, "0.1", "0.01"), (5, 39, "0.3", "0.02"),
                             (12, 44, "0.4", "0.05"), (40, 56, "1", "0.1"), (25, 96, "5", "0.2"),
                             (40, 121, "10", "0.5"), (70, 161, "30", "1"), (60, 231, "100", "2")], "221.2")
SINGLE_PHASE_PRESSURES = grid([(10, 0, "0", "0.01"), (20, 10, "0.1", "0.02"), (10, 30, "0.5", "0.05"),
                               (20, 40, "1", "0.1"), (10, 60, "3", "0.2"), (30, 70, "5", "0.5"),
                               (30, 100, "20", "1"), (25, 130, "50", "2"), (20, 155, "100", "5"),
                               (30, 175, "200", "10"), (15, 205, "500", "20"), (4, 220, "800", "50")])
assert len(SATURATION_PRESSURES) == 292 and len(SINGLE_PHASE_PRESSURES) == 224


def read_singles(path, per_record):
    raw = path.read_bytes()
    values = struct.unpack(f"<{len(raw) // 4}f", raw)
    return [values[i:i + per_record] for i in range(0, len(values), per_record)]


class Tables:
    """The shipped single-phase table, for keys on and around its entries."""

    def __init__(self, data):
        self.single_phase = read_singles(data / "didizar.dat", 3)  # v h s, 81 per isobar

    def isobar(self, index, column):
        """Key column (0 v, 1 h, 2 s) of isobar `index` (0 to 223)."""
        return [entry[column] for entry in self.single_phase[index * 81:(index + 1) * 81]]


# ------------------------------------------------------------- arguments
#
# A case is (group, a, b) in internal units; b is None for one-argument
# functions. The groups say which rule a case is for and order the corpus.

NAN, INF = float("nan"), float("inf")
SPECIAL_ARGUMENTS = [
    NAN, from_bits(0xFFF8000000000000), from_bits(0x7FF0000000000001), INF, -INF, -0.0,
    from_bits(1), 2.2250738585072014e-308, 2.0 ** -128, 2.0 ** -129, 2.0 ** -128 * (1 - 2.0 ** -41),
    1e39, -1e39, 1.7e38, 1.7014118346046923e38, 2.0 ** 127, 2.0 ** 127 * (1 - 2.0 ** -41),
    sys.float_info.max, -sys.float_info.max, 1e300,
]


SPECIAL_BITS = {bits(x) for x in SPECIAL_ARGUMENTS}

# The special arguments that a configuration with other units repeats: those
# whose fate may depend on the unit conversion.
SPECIAL_ARGUMENTS_WITH_UNITS = [NAN, INF, -0.0, 2.0 ** -129, 2.0 ** -128, 1e39, 1.7e38, 1e300]


# The groups that a configuration with other units repeats in full; of the
# others it takes half.
EVERY_CASE_WITH_UNITS = ("limits", "ends", "critical", "saturation", "special")


def kept_with_units(case):
    group, a, b = case
    if group != "special":
        return True
    wanted = {bits(x) for x in SPECIAL_ARGUMENTS_WITH_UNITS}
    return bits(a) in wanted or (b is not None and bits(b) in wanted)


def nudged(value, steps=(-2.0 ** -36, -2.0 ** -39, -2.0 ** -41, 0.0, 2.0 ** -41, 2.0 ** -39, 2.0 ** -36)):
    """Values a hair around `value`, on both sides of the six-byte reals
    next to it."""
    return [value * (1 + s) for s in steps]


def specials(first, second):
    """NaN, infinities and their kin in each argument, the other one valid."""
    cases = [("special", x, second) for x in SPECIAL_ARGUMENTS]
    if second is not None:
        cases += [("special", first, x) for x in SPECIAL_ARGUMENTS]
    return cases


def saturation_by_pressure_cases(rng, qualities):
    pressures = SATURATION_PRESSURES
    step = 1 if qualities is None else 4
    grid_points = pressures[::step] if qualities is None else pressures[::step] + [pressures[-1]]
    middles = [(a + b) / 2 for a, b in zip(pressures[::2 * step], pressures[1::2 * step])]
    limits = nudged(0.01) + nudged(221.2) + [0.0099, 221.3, 220.64, 0.0, -5.0, 1000.0]
    randoms = sorted(math.exp(rng.uniform(math.log(0.01), math.log(221.2))) for _ in range(60))
    qs = qualities or [None]
    cases = [("grid", p, q) for p in grid_points for q in qs[:2]]
    cases += [("between", p, q) for p in middles for q in qs[2:3] or qs]
    cases += [("limits", p, q) for p in limits for q in qs[:2]]
    if qualities is not None:
        for p in (0.01, 1.0, 100.0, 221.2):
            cases += [("quality", p, q) for q in (-1e-300, -0.0, 0.0, 2.0 ** -129, 0.5, 1 - 2.0 ** -40,
                                                  1.0, 1 + 2.0 ** -52, 1 + 2.0 ** -38, 1.5, -1.0)]
    cases += [("random", p, rng.random() if qualities else None) for p in randoms]
    return cases + specials(1.0, 0.5 if qualities else None)


def saturation_by_temperature_cases(rng, qualities):
    whole = [float(t) for t in range(0, 375)]
    step = 1 if qualities is None else 5
    low = [0.0, 2.0 ** -129, 2.0 ** -128, 1e-9, 0.005, 0.0099999, 0.01 * (1 - 2.0 ** -36), 0.01,
           0.01 * (1 + 2.0 ** -36), 0.011, 0.5, 0.99]
    top = [373.5, 374.0, 374.05, 374.1] + nudged(374.15) + [374.16, 375.0, 400.0, -0.001, -0.0, -5.0]
    randoms = sorted(rng.uniform(0, 374.15) for _ in range(60))
    qs = qualities or [None]
    cases = [("grid", t, q) for t in whole[::step] for q in qs[:2]]
    cases += [("between", t + 0.5, q) for t in whole[::3 * step] for q in qs[2:3] or qs]
    cases += [("limits", t, q) for t in low + top for q in qs[:2]]
    if qualities is not None:
        for t in (0.0, 0.005, 100.0, 374.15):
            cases += [("quality", t, q) for q in (-1e-300, -0.0, 0.25, 1.0, 1 + 2.0 ** -38, 2.0)]
    cases += [("random", t, rng.random() if qualities else None) for t in randoms]
    return cases + specials(100.0, 0.5 if qualities else None)


def saturation_temperature(shipped, pressure):
    """The library's own saturation temperature (C) at a pressure in bar."""
    name, _, _, function = shipped.functions[0]
    assert name == "AQPPT"
    return function(pressure)[0]


def single_phase_cases(rng, shipped):
    cases = []
    # Grid nodes: every isobar at a few columns, and the corners of the table.
    for i, p in enumerate(SINGLE_PHASE_PRESSURES):
        cases.append(("nodes", p, 10.0 * ((i * 29) % 81)))
    # The saturation line: its 0.001 C band, both sides of it in the cell it
    # crosses, and the cell's corners.
    band = (-0.0011, -0.001, -0.00099999, -0.0005, 0.0, 0.0005, 0.00099999, 0.001, 0.0011)
    for p in SINGLE_PHASE_PRESSURES[::15] + [1.0, 1.01325, 100.0, 200.0, 220.0, 221.2]:
        if p > 221.2:
            continue
        ts = saturation_temperature(shipped, p)
        low = 10.0 * math.floor(ts / 10)
        cases += [("saturation", p, ts + d) for d in band]
        cases += [("crossing", p, t) for t in (low, low + (ts - low) / 2, ts + (low + 10 - ts) / 2,
                                               low + 10 - 1e-9, low + 10)]
    for p in (220.0, 221.0, 221.1, 221.2, 221.2 * (1 + 2.0 ** -38), 221.3, 225.0, 250.0):
        cases += [("critical", p, t) for t in (370.0, 373.9, 374.0, 374.15, 374.2, 375.0, 380.0)]
    ends_p = nudged(0.01) + [0.0099] + nudged(1000.0) + [999.999, 1000.001]
    ends_t = [0.0, -0.0, 2.0 ** -129, 5.0, 795.0, 799.999] + nudged(800.0) + [-1e-12, 800.001]
    cases += [("ends", p, t) for p in ends_p for t in (0.0, 400.0, 800.0)]
    cases += [("ends", p, t) for p in (0.01, 50.0, 500.0, 1000.0) for t in ends_t]
    cases += [("random", math.exp(rng.uniform(math.log(0.01), math.log(1000))), rng.uniform(0, 800))
              for _ in range(100)]
    return cases + specials(100.0, 500.0)


# The inverse lookups: key column in didizar.dat, the functions that answer
# the saturated liquid and vapour value of the key, and the key at the
# critical point.
INVERSE_KEYS = {"H": (1, "AQPPQH", 2107.4), "S": (2, "AQPPQS", 4.4429), "V": (0, "AQPPQV", 0.00317)}


def saturated_key(shipped, function_name, pressure, quality):
    for name, _, _, function in shipped.functions:
        if name == function_name:
            return function(pressure, quality)[0]
    raise KeyError(function_name)


def inverse_cases(rng, tables, shipped, key):
    column, saturated, critical = INVERSE_KEYS[key]
    cases = []
    pressure_indices = list(range(0, 224, 17)) + [223]
    for index in pressure_indices:
        p = SINGLE_PHASE_PRESSURES[index]
        isobar = tables.isobar(index, column)
        m = (index * 11) % 79 + 1
        keys = [isobar[0], isobar[80], isobar[m], (isobar[m] + isobar[m + 1]) / 2,
                isobar[0] * (1 - 2.0 ** -30), isobar[80] * (1 + 2.0 ** -30)]
        cases += [("isobar", p, k) for k in keys]
        if p > 221.2:
            cases += [("critical", p, k) for k in nudged(critical, (-1e-6, -2.0 ** -41, 0.0, 2.0 ** -41, 1e-6))]
    # The two-phase bounds and both sides of them, where the saturation line
    # lies inside an interval of the isobar; at 221.2 bar the liquid and
    # vapour values are equal.
    saturation_pressures = [SINGLE_PHASE_PRESSURES[i] for i in pressure_indices] + [1.01325, 220.0, 221.2]
    for p in (p for p in saturation_pressures if p <= 221.2):
        kf, kg = (saturated_key(shipped, saturated, p, q) for q in (0.0, 1.0))
        around = [kf, kg, (kf + kg) / 2, kf * (1 - 1e-9), kg * (1 + 1e-9), kf * (1 - 1e-4), kg * (1 + 1e-4)]
        cases += [("saturation", p, k) for k in around]
    for p in (221.2, 221.2 * (1 + 2.0 ** -38), 221.3, 300.0):
        cases += [("critical", p, k) for k in (critical, critical * (1 - 1e-3), critical * (1 + 1e-3))]
    # Pressures between grid points, and the ends of the pressure range.
    middle = [(SINGLE_PHASE_PRESSURES[i] + SINGLE_PHASE_PRESSURES[i + 1]) / 2 for i in range(3, 223, 22)]
    typical = tables.isobar(100, column)[30]
    cases += [("between", p, typical) for p in middle]
    cases += [("ends", p, typical) for p in nudged(0.01) + [0.0099, 0.0, -1.0] + nudged(1000.0) + [1000.001]]
    column_values = [entry[column] for entry in tables.single_phase]
    low, high = min(column_values), max(column_values)
    for _ in range(40):
        p = math.exp(rng.uniform(math.log(0.01), math.log(1000)))
        k = math.exp(rng.uniform(math.log(low), math.log(high))) if key == "V" else rng.uniform(low, high)
        cases.append(("random", p, k))
    return cases + specials(100.0, typical)


def refined_value(shipped, name, a, b=0.0):
    kind, value = shipped.refined(name, (a, b))
    assert kind == "value", f"refined {name}({a}, {b}) failed with {value}"
    return from_bits(value)


# The box of the refined critical region (bar, C) and the pressures where
# the reach of an ill-posed volume changes.
REGION_PRESSURES = (199.99, 200.0, 200.01, 250.0, 299.99, 300.0, 300.01)
REGION_TEMPERATURES = (359.99, 360.0, 360.01, 390.0, 409.99, 410.0, 415.0, 419.99, 420.0, 420.01, 430.0)
COLD_PRESSURES = (0.01, 0.02, 0.03, 0.0301, 0.5, 1.0, 10.0, 30.0, 30.01, 100.0, 221.2, 221.3, 500.0, 1000.0)
COLD_MARGINS = (-1e-9, 0.0, 5e-8, 1e-7, 2e-7, 1e-5, 1e-4, 1.5e-4, 2e-4, 1e-3, 2e-3, 3e-3, 1e-2)


def refined_cases(shipped):
    """Cases only the refined corpus has, by function name: the edges of the
    refined critical region (for the inverse functions the refined keys of
    states on them, and wet states below and above 200 bar), and volumes at
    and just above the refined 0 C volume, where the reach of an ill-posed
    answer ends."""
    cases = {}
    states = [(p, t) for p in REGION_PRESSURES for t in REGION_TEMPERATURES]
    keys = {"H": "AQPPTH", "S": "AQPPTS", "V": "AQPPTV"}
    wet = {"H": "AQPPQH", "S": "AQPPQS", "V": "AQPPQV"}
    for name, arity, arguments, _ in shipped.functions:
        second = arguments[1] if arity == 2 else None
        if second == TEMPERATURE:
            cases[name] = [("region", p, t) for p, t in states]
        elif second in (ENTHALPY, ENTROPY, VOLUME):
            key = {ENTHALPY: "H", ENTROPY: "S", VOLUME: "V"}[second]
            chosen = [("region", p, refined_value(shipped, keys[key], p, t)) for p, t in states]
            chosen += [("region", p, refined_value(shipped, wet[key], p, q))
                       for p in (199.99, 200.0, 200.01, 221.0) for q in (0.001, 0.5, 0.999)]
            if key == "V":
                for p in COLD_PRESSURES:
                    cold = refined_value(shipped, "AQPPTV", p, 0.0)
                    chosen += [("cold", p, cold * (1 + m)) for m in COLD_MARGINS]
            cases[name] = chosen
    return cases


def internal_cases(tables, shipped):
    """The cases of each function in internal units, by function name."""
    cases = {}
    for name, arity, arguments, _ in shipped.functions:
        rng = random.Random(f"rudid-corpus-{name}")  # one stream per function: lists stay independent
        first, second = arguments[0], arguments[1] if arity == 2 else None
        if first == PRESSURE and second in (None, QUALITY):
            cases[name] = saturation_by_pressure_cases(rng, [0.0, 1.0, 0.5, 0.25] if second else None)
        elif first == TEMPERATURE:
            cases[name] = saturation_by_temperature_cases(rng, [0.0, 1.0, 0.5, 0.25] if second else None)
        elif second == TEMPERATURE:
            cases[name] = single_phase_cases(rng, shipped)
        else:
            key = {ENTHALPY: "H", ENTROPY: "S", VOLUME: "V"}[second]
            cases[name] = inverse_cases(rng, tables, shipped, key)
    return cases


# ----------------------------------------------------------------- output


def readable(x):
    return f"{x:.10g}"


def outcome_text(outcome):
    kind, value = outcome
    return f"fail={value}" if kind == "fail" else f"0x{value:016x}"


def outcome_readable(outcome):
    kind, value = outcome
    return f"fail {value}" if kind == "fail" else readable(from_bits(value))


def sample(case, one_in):
    """Whether a case belongs to a sample of one case in `one_in`, decided by
    its arguments alone, so that adding cases leaves the others in place."""
    _, a, b = case
    return zlib.crc32(struct.pack("<dd", a, 0.0 if b is None else b)) % one_in == 0


def configuration_cases(configuration, library, cases, every=EVERY_CASE_WITH_UNITS):
    """The cases of one configuration in its units, by function. A reduced
    configuration takes the ends of the tables and a twentieth of the other
    cases (its tables fail most cases the same way); one with other units
    leaves out half of the cases that only repeat the same lookups (all but
    the groups in `every`)."""
    result = {}
    for name, arity, arguments, _ in library.functions:
        chosen = cases[name]
        if configuration.reduced:
            chosen = [c for c in chosen if c[0] == "ends" or sample(c, 20)]
        elif configuration.units is not None:
            chosen = [c for c in chosen if kept_with_units(c) and (c[0] in every or sample(c, 2))]
        seen, rows = set(), []
        for group, a, b in chosen:
            values = (a,) if arity == 1 else (a, b)
            if configuration.units is not None:
                values = tuple(v if q == QUALITY or bits(v) in SPECIAL_BITS else
                               library.lib.RudidToConfiguredUnit(q, v) for v, q in zip(values, arguments))
            identity = tuple(bits(v) for v in values)
            if identity not in seen:
                seen.add(identity)
                rows.append((group, values))
        result[name] = rows
    return result


def record(configuration, library, rows_by_function, out):
    for name, arity, _, function in library.functions:
        rows = rows_by_function[name]
        batch = library.batch(name, [values if arity == 2 else values + (0.0,) for _, values in rows], arity)
        for (group, values), batch_outcome in zip(rows, batch):
            single = library.single(function, values)
            flags = library.flags(name, values)
            arguments = " ".join(f"0x{bits(v):016x}" for v in values) + (" -" if arity == 1 else "")
            extra = "" if batch_outcome == single else f" batch={outcome_text(batch_outcome)}"
            shown = " ".join(readable(v) for v in values)
            out.append(f"{configuration.name} {name} {group} {arguments} {outcome_text(single)} {flags}{extra}"
                       f" # {shown} -> {outcome_readable(single)}")


def record_refined(configuration, library, rows_by_function, out):
    evaluate = library.lib.RudidEvaluateRefined
    for name, arity, _, _ in library.functions:
        rows = rows_by_function[name]
        batch = library.batch(name, [values if arity == 2 else values + (0.0,) for _, values in rows], 2, evaluate)
        for (group, values), batch_outcome in zip(rows, batch):
            single = library.refined(name, values)
            flags = library.refined_flags(name, values)
            arguments = " ".join(f"0x{bits(v):016x}" for v in values) + (" -" if arity == 1 else "")
            extra = "" if batch_outcome == single else f" batch={outcome_text(batch_outcome)}"
            shown = " ".join(readable(v) for v in values)
            out.append(f"{configuration.name} {name} {group} {arguments} {outcome_text(single)} {flags}{extra}"
                       f" # {shown} -> {outcome_readable(single)}")


# The groups of the refined corpus that a configuration with other units
# repeats in full.
EVERY_REFINED_CASE_WITH_UNITS = EVERY_CASE_WITH_UNITS + ("crossing", "region", "cold")

REFINED_HEADER = """\
# Expected refined answers of the property functions, recorded from a
# release by tools/generate_corpus.py; checked by
# tests/api/stored_refined_corpus_test.cpp.
#
# config NAME default.cfg=shipped|WORD:VALUE,...
#   a data directory: the shipped tables and default.cfg, or a default.cfg
#   of 31 words, all 0 but those listed.
#
# NAME FUNCTION GROUP ARG1 ARG2 RESULT FLAGS [batch=RESULT] # readable
#   ARG1, ARG2  the arguments' double bits in the configured units
#               (ARG2 "-" for a one-argument function)
#   RESULT      RudidEvaluateRefined's answer for the row alone (n = 1):
#               its double bits, or fail=CODE
#   FLAGS       RudidRefinedFlags for the same arguments
#   batch=      only where the row differs in one RudidEvaluateRefined of
#               all rows of the function and configuration, in this order
"""

HEADER = """\
# Expected results of the property functions, recorded from a release by
# tools/generate_corpus.py; checked by tests/api/stored_corpus_test.cpp.
#
# config NAME default.cfg=shipped|WORD:VALUE,... [TABLE=missing|cut:BYTES]
#   a data directory: the shipped tables and default.cfg, or a default.cfg
#   of 31 words, all 0 but those listed; a table left out or cut short.
#
# NAME FUNCTION GROUP ARG1 ARG2 RESULT FLAGS [batch=RESULT] # readable
#   ARG1, ARG2  the arguments' double bits in the configured units
#               (ARG2 "-" for a one-argument function)
#   RESULT      the answer's double bits (a property or an error code), or
#               fail=CODE when the call returned no result
#   FLAGS       RudidStateFlags for the same arguments
#   batch=      only where a RudidEvaluate row (all rows of the function and
#               configuration in one call, in this order) differs from the
#               single call; a failed row is a NaN with that failure code
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("library", type=Path)
    parser.add_argument("--data", type=Path, default=DEFAULT_DATA)
    parser.add_argument("--output", type=Path, default=DEFAULT_OUTPUT)
    parser.add_argument("--refined-output", type=Path, default=DEFAULT_REFINED_OUTPUT)
    options = parser.parse_args()

    tables = Tables(options.data)
    lines = [HEADER]
    refined_lines, refined_body = [REFINED_HEADER], []
    with tempfile.TemporaryDirectory(prefix="rudid-corpus-") as scratch:
        scratch = Path(scratch)
        copies = scratch / "copies"
        copies.mkdir()
        shipped = None
        cases = None
        body = []
        refined_cases_by_function = None
        everything = CONFIGURATIONS + [c for c in REFINED_CONFIGURATIONS if c not in CONFIGURATIONS]
        for number, configuration in enumerate(everything):
            directory = scratch / f"data-{number}"
            ini, units = prepare_directory(configuration, options.data, directory, shipped)
            library = Library(options.library, copies, ini)
            if shipped is None:
                assert configuration.units is None and not configuration.tables
                shipped, cases = library, internal_cases(tables, library)
                extra = refined_cases(library)
                refined_cases_by_function = {name: cases[name] + extra.get(name, []) for name in cases}
            described = " ".join(library.lib.RudidConfiguredUnit(q).decode()
                                 for q in (PRESSURE, TEMPERATURE, ENTHALPY, ENTROPY, VOLUME))
            tables_text = "".join(f" {t}={'missing' if v == 'missing' else f'cut:{v}'}"
                                  for t, v in sorted(configuration.tables.items()))
            if configuration in CONFIGURATIONS:
                lines.append(f"config {configuration.name} default.cfg={units}{tables_text} # {described}")
                record(configuration, library, configuration_cases(configuration, library, cases), body)
            if configuration in REFINED_CONFIGURATIONS:
                assert not configuration.tables and not configuration.reduced
                refined_lines.append(f"config {configuration.name} default.cfg={units} # {described}")
                rows = configuration_cases(configuration, library, refined_cases_by_function,
                                           EVERY_REFINED_CASE_WITH_UNITS)
                record_refined(configuration, library, rows, refined_body)
        lines.append("")
        refined_lines.append("")
    for path, header, rows in ((options.output, lines, body), (options.refined_output, refined_lines, refined_body)):
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text("\n".join(header) + "\n".join(rows) + "\n")
        print(f"{len(rows)} cases written to {path}")


if __name__ == "__main__":
    main()
