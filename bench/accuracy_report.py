#!/usr/bin/python3
"""Accuracy of the RUDID32 property functions against IAPWS-IF97.

Calls each of the 23 exported functions of the built library at a few
thousand states spread over its domain and compares every answer with IF97
evaluated directly at the same state (python3-iapws, class IAPWS97):

    /usr/bin/python3 bench/accuracy_report.py [--library PATH] [--states N] [--markdown]

The library must be configured for its internal units (bar, C, kJ/kg,
kJ/(kg K), m3/kg), as the shipped default.cfg is; this is checked first.

States, all from a fixed seed:
  - saturation functions: pressures spread on a logarithmic scale over
    0.01..221.2 bar, temperatures over 0..374.15 C, qualities over 0..1;
  - single-phase functions: pressures log-spread over 0.01..1000 bar and
    temperatures over 0..800 C: random states, table grid nodes, centres of
    table cells (where linear interpolation is worst) and states a little
    above and below the saturation line (the cells that the line crosses);
  - inverse functions: the enthalpy, entropy or volume of such a known
    single-phase state, or of a wet state (pressure, quality); the answer is
    compared with the temperature, the other properties and the quality of
    that state.
A second set of states is placed within 2 C and 2 bar of IF97's critical
point (220.64 bar, 373.946 C) and reported on its own.

States that IF97 cannot evaluate (the saturation line beyond its critical
point) are skipped and counted; so are states that the library answers with
an error code, such as -1015 within 0.001 C of its saturation line or -1013
for a liquid volume below the 0 C volume of the isobar.

Errors: temperatures in C, relative to the absolute temperature in K;
relative errors of enthalpy and entropy are taken against
max(|IF97 value|, 1 kJ/kg) and max(|IF97 value|, 0.01 kJ/(kg K)), since
both pass through zero at the triple point. Qualities have absolute errors
only.

Exit status: 0 when every call answered, 1 when a call failed (returned
NULL) or the library could not be loaded, 2 for bad arguments.
"""

import argparse
import ctypes
import math
import random
import sys
import time
import warnings
from pathlib import Path

from iapws import IAPWS97
from iapws.iapws97 import Pc as IF97_PC_MPA
from iapws.iapws97 import Tc as IF97_TC_K
from iapws.iapws97 import _PSat_T, _TSat_P

REPO = Path(__file__).resolve().parent.parent
DEFAULT_STATES = 3000
SEED = 19970917

KELVIN = 273.15
CRITICAL_P_BAR = IF97_PC_MPA * 10.0          # 220.64
CRITICAL_T_C = IF97_TC_K - KELVIN            # 373.946
WINDOW_P_BAR = 2.0
WINDOW_T_C = 2.0

# The library's own bounds.
P_MIN, P_MAX, P_SAT_MAX = 0.01, 1000.0, 221.2
T_MIN, T_MAX, T_SAT_MAX = 0.0, 800.0, 374.15

# IAPWS97(T, x) above this takes the region-3 saturated densities from a
# backward equation only; from the saturation pressure it solves region 3.
REGION_3_SATURATION_K = 623.15

ERROR_CODES = {-1001.0, -1002.0, -1003.0, -1004.0, -1005.0,
               -1012.0, -1013.0, -1014.0, -1015.0}

# Pressure grids of the tables (bar): segments of (points, k0, start, step).
SATURATION_GRID = [(19, 0, 0.005, 0.005), (20, 19, 0.1, 0.01), (5, 39, 0.3, 0.02),
                   (12, 44, 0.4, 0.05), (40, 56, 1.0, 0.1), (25, 96, 5.0, 0.2),
                   (40, 121, 10.0, 0.5), (70, 161, 30.0, 1.0), (60, 231, 100.0, 2.0)]
SINGLE_PHASE_GRID = [(10, 0, 0.0, 0.01), (20, 10, 0.1, 0.02), (10, 30, 0.5, 0.05),
                     (20, 40, 1.0, 0.1), (10, 60, 3.0, 0.2), (30, 70, 5.0, 0.5),
                     (30, 100, 20.0, 1.0), (25, 130, 50.0, 2.0), (20, 155, 100.0, 5.0),
                     (30, 175, 200.0, 10.0), (15, 205, 500.0, 20.0), (4, 220, 800.0, 50.0)]

# Quantities: (symbol, unit, floor of the denominator of a relative error).
QUANTITIES = {
    "T": ("T", "C", None),
    "P": ("p", "bar", 0.0),
    "h": ("h", "kJ/kg", 1.0),
    "s": ("s", "kJ/(kg K)", 0.01),
    "v": ("v", "m3/kg", 0.0),
    "x": ("x", "-", None),
}

# Export name -> (number of arguments, quantity of the result).
EXPORTS = {
    "AQPPT": (1, "T"), "AQPTP": (1, "P"),
    "AQPTQH": (2, "h"), "AQPTQS": (2, "s"), "AQPTQV": (2, "v"),
    "AQPPQH": (2, "h"), "AQPPQS": (2, "s"), "AQPPQV": (2, "v"),
    "AQPPTH": (2, "h"), "AQPPTS": (2, "s"), "AQPPTV": (2, "v"),
    "AQPPHT": (2, "T"), "AQPPHS": (2, "s"), "AQPPHV": (2, "v"), "AQPPHQ": (2, "x"),
    "AQPPST": (2, "T"), "AQPPSH": (2, "h"), "AQPPSV": (2, "v"), "AQPPSQ": (2, "x"),
    "AQPPVT": (2, "T"), "AQPPVH": (2, "h"), "AQPPVS": (2, "s"), "AQPPVQ": (2, "x"),
}


class NotAvailable(Exception):
    """IF97 cannot evaluate the state."""


class CallFailed(Exception):
    """The library returned no value (NULL)."""


# --------------------------------------------------------------------------
# The library

class Library:
    def __init__(self, path):
        self.path = path
        self.dll = ctypes.CDLL(str(path))
        self.functions = {}
        for name, (arity, _) in EXPORTS.items():
            function = getattr(self.dll, name)
            function.restype = ctypes.POINTER(ctypes.c_double)
            function.argtypes = [ctypes.c_double] * arity
            self.functions[name] = function
        self.dll.RudidLastError.restype = ctypes.c_int
        self.dll.RudidLastError.argtypes = []

    def call(self, name, *args):
        """The double that the export returns; raises CallFailed for NULL."""
        result = self.functions[name](*args)
        if not result:
            raise CallFailed(f"{name}{args}: no result, failure code {self.dll.RudidLastError()}")
        return result.contents.value


def find_library(argument):
    if argument:
        return Path(argument)
    build = REPO / "build"
    candidates = [build / "libRUDID32.so"] + sorted(build.glob("**/libRUDID32.so"))
    for candidate in candidates:
        if candidate.exists():
            return candidate
    raise FileNotFoundError(f"no libRUDID32.so in {build}; build it or give --library PATH")


def check_units(library):
    """The comparisons assume bar, C, kJ/kg, kJ/(kg K) and m3/kg."""
    probes = [("AQPPT", (1.01325,), 100.0, 0.5), ("AQPTP", (100.0,), 1.01325, 0.01),
              ("AQPPTH", (1.0, 20.0), 84.0, 1.0), ("AQPPTS", (1.0, 20.0), 0.2965, 0.01),
              ("AQPPTV", (1.0, 20.0), 0.0010018, 1e-5)]
    for name, args, expected, tolerance in probes:
        value = library.call(name, *args)
        if abs(value - expected) > tolerance:
            raise RuntimeError(f"{name}{args} = {value}, expected about {expected}: the library "
                               "answers wrongly or is not configured for bar, C, kJ/kg, "
                               "kJ/(kg K) and m3/kg")


# --------------------------------------------------------------------------
# IF97

def if97(**kwargs):
    """An IAPWS97 state; NotAvailable when IF97 cannot evaluate it."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            state = IAPWS97(**kwargs)
    except Exception as error:  # iapws signals bad states with assorted exceptions
        raise NotAvailable(f"{kwargs}: {error}") from error
    if getattr(state, "status", 1) != 1 or not all(
            isinstance(x, float) and math.isfinite(x) for x in (state.v, state.h, state.s)):
        raise NotAvailable(f"{kwargs}: {getattr(state, 'msg', 'not solved')}")
    return state


def props(state):
    return {"v": state.v, "h": state.h, "s": state.s}


def saturation_at_pressure(p_bar):
    """(Ts C, liquid props, vapour props)."""
    if p_bar >= CRITICAL_P_BAR:
        raise NotAvailable(f"{p_bar} bar is above IF97's critical pressure")
    liquid = if97(P=p_bar / 10.0, x=0.0)
    vapour = if97(P=p_bar / 10.0, x=1.0)
    return liquid.T - KELVIN, props(liquid), props(vapour)


def saturation_at_temperature(t_c):
    """(Psat bar, liquid props, vapour props)."""
    t_k = t_c + KELVIN
    if t_k >= IF97_TC_K:
        raise NotAvailable(f"{t_c} C is above IF97's critical temperature")
    if t_k <= REGION_3_SATURATION_K:
        liquid = if97(T=t_k, x=0.0)
        vapour = if97(T=t_k, x=1.0)
        return liquid.P * 10.0, props(liquid), props(vapour)
    p = _PSat_T(t_k)
    liquid = if97(P=p, x=0.0)
    vapour = if97(P=p, x=1.0)
    return p * 10.0, props(liquid), props(vapour)


def mix(liquid, vapour, x):
    return {k: (1.0 - x) * liquid[k] + x * vapour[k] for k in liquid}


CRITICAL_KEYS = None


def critical_keys():
    """IF97's v, h, s at its critical point."""
    global CRITICAL_KEYS
    if CRITICAL_KEYS is None:
        CRITICAL_KEYS = props(if97(T=IF97_TC_K, x=0.0))
    return CRITICAL_KEYS


def single_phase_quality(p_bar, t_c, key, values):
    """0 for liquid and 1 for vapour below IF97's critical pressure; above it,
    1 when the key exceeds (v: reaches) its value at IF97's critical point."""
    if p_bar < CRITICAL_P_BAR:
        return 0.0 if t_c < _TSat_P(p_bar / 10.0) - KELVIN else 1.0
    critical = critical_keys()[key]
    if key == "v":
        return 1.0 if values["v"] >= critical else 0.0
    return 1.0 if values[key] > critical else 0.0


# --------------------------------------------------------------------------
# States

def grid_points(segments):
    return [start + (k - k0) * step
            for points, k0, start, step in segments
            for k in range(k0 + 1, k0 + points + 1)]


SATURATION_PRESSURES = grid_points(SATURATION_GRID) + [P_SAT_MAX]
SINGLE_PHASE_PRESSURES = grid_points(SINGLE_PHASE_GRID)


def log_uniform(rng, low, high):
    return 10.0 ** rng.uniform(math.log10(low), math.log10(high))


def in_window(p_bar, t_c):
    return abs(p_bar - CRITICAL_P_BAR) <= WINDOW_P_BAR and abs(t_c - CRITICAL_T_C) <= WINDOW_T_C


class Sample:
    """One state: where it lies, what is passed, what IF97 expects."""
    __slots__ = ("args", "expected", "where", "p", "t", "node", "critical")

    def __init__(self, args, expected, where, p, t, node=False, critical=None):
        self.args = args
        self.expected = expected   # {export: value} or None when IF97 cannot evaluate
        self.where = where
        self.p, self.t = p, t
        self.node = node
        self.critical = in_window(p, t) if critical is None else critical


def choose_kind(rng):
    """random 55 %, table node 15 %, cell centre 15 %, near saturation 15 %."""
    r = rng.random()
    return "random" if r < 0.55 else "node" if r < 0.70 else "centre" if r < 0.85 else "saturation"


def random_quality(rng):
    r = rng.random()
    return 0.0 if r < 0.05 else 1.0 if r < 0.10 else rng.random()


def saturation_pressure_state(rng, window):
    if window:
        return rng.uniform(CRITICAL_P_BAR - WINDOW_P_BAR, P_SAT_MAX), False
    kind = choose_kind(rng)
    if kind == "node":
        return rng.choice(SATURATION_PRESSURES), True
    if kind == "centre":
        i = rng.randrange(len(SATURATION_PRESSURES) - 1)
        return 0.5 * (SATURATION_PRESSURES[i] + SATURATION_PRESSURES[i + 1]), False
    return log_uniform(rng, P_MIN, P_SAT_MAX), False


def saturation_temperature_state(rng, window):
    if window:
        return rng.uniform(CRITICAL_T_C - WINDOW_T_C, T_SAT_MAX), False
    kind = choose_kind(rng)
    if kind == "node":
        return float(rng.randrange(375)), True
    if kind == "centre":
        return rng.randrange(374) + 0.5, False
    if kind == "saturation":   # the fixed values the library holds below 0.01 C
        return rng.choice([0.0, 0.005, 0.01]), False
    return rng.uniform(T_MIN, T_SAT_MAX), False


def single_phase_state(rng, window):
    """(p bar, t C, node) anywhere in 0.01..1000 bar, 0..800 C."""
    if window:
        return (rng.uniform(CRITICAL_P_BAR - WINDOW_P_BAR, CRITICAL_P_BAR + WINDOW_P_BAR),
                rng.uniform(CRITICAL_T_C - WINDOW_T_C, CRITICAL_T_C + WINDOW_T_C), False)
    kind = choose_kind(rng)
    if kind == "node":
        return rng.choice(SINGLE_PHASE_PRESSURES[:-1]), 10.0 * rng.randrange(80), True
    if kind == "centre":
        i = rng.randrange(len(SINGLE_PHASE_PRESSURES) - 1)
        return (0.5 * (SINGLE_PHASE_PRESSURES[i] + SINGLE_PHASE_PRESSURES[i + 1]),
                10.0 * rng.randrange(80) + 5.0, False)
    if kind == "saturation":
        p = log_uniform(rng, P_MIN, CRITICAL_P_BAR - 0.01)
        ts = _TSat_P(p / 10.0) - KELVIN
        offset = rng.choice([0.0005, 0.002, 0.02, 0.2, 1.0, 3.0, 8.0]) * rng.choice([-1.0, 1.0])
        return p, min(max(ts + offset, T_MIN), T_MAX), False
    return log_uniform(rng, P_MIN, P_MAX), rng.uniform(T_MIN, T_MAX), False


def fmt_p(p):
    return f"p={p:.6g} bar"


def fmt_t(t):
    return f"T={t:.6g} C"


def saturation_pressure_samples(rng, count, window):
    samples = []
    for _ in range(count):
        p, node = saturation_pressure_state(rng, window)
        x = random_quality(rng)
        where = f"{fmt_p(p)}, x={x:.4g}"
        try:
            ts, liquid, vapour = saturation_at_pressure(p)
        except NotAvailable:
            samples.append(Sample((p, x), None, where, p, CRITICAL_T_C, node,
                                  window or in_window(p, CRITICAL_T_C)))
            continue
        m = mix(liquid, vapour, x)
        expected = {"AQPPT": ts, "AQPPQH": m["h"], "AQPPQS": m["s"], "AQPPQV": m["v"]}
        samples.append(Sample((p, x), expected, where, p, ts, node, window or None))
    return samples


def saturation_temperature_samples(rng, count, window):
    samples = []
    for _ in range(count):
        t, node = saturation_temperature_state(rng, window)
        x = random_quality(rng)
        where = f"{fmt_t(t)}, x={x:.4g}"
        try:
            ps, liquid, vapour = saturation_at_temperature(t)
        except NotAvailable:
            samples.append(Sample((t, x), None, where, CRITICAL_P_BAR, t, node,
                                  window or in_window(CRITICAL_P_BAR, t)))
            continue
        m = mix(liquid, vapour, x)
        expected = {"AQPTP": ps, "AQPTQH": m["h"], "AQPTQS": m["s"], "AQPTQV": m["v"]}
        samples.append(Sample((t, x), expected, where, ps, t, node, window or None))
    return samples


def single_phase_samples(rng, count, window):
    samples = []
    for _ in range(count):
        p, t, node = single_phase_state(rng, window)
        where = f"{fmt_p(p)}, {fmt_t(t)}"
        try:
            values = props(if97(P=p / 10.0, T=t + KELVIN))
        except NotAvailable:
            samples.append(Sample((p, t), None, where, p, t, node, window or None))
            continue
        expected = {"AQPPTH": values["h"], "AQPPTS": values["s"], "AQPPTV": values["v"]}
        samples.append(Sample((p, t), expected, where, p, t, node, window or None))
    return samples


INVERSE = {"h": "AQPPH", "s": "AQPPS", "v": "AQPPV"}


def inverse_samples(rng, count, window):
    """{key: [Sample]}: the same known states, entered by h, s and v."""
    out = {key: [] for key in INVERSE}
    for _ in range(count):
        wet = rng.random() < 0.25
        try:
            if wet:
                if window:
                    p = rng.uniform(CRITICAL_P_BAR - WINDOW_P_BAR, CRITICAL_P_BAR - 1e-3)
                else:
                    p = log_uniform(rng, P_MIN, CRITICAL_P_BAR - 0.01)
                x = rng.random()
                t, liquid, vapour = saturation_at_pressure(p)
                values = mix(liquid, vapour, x)
                node = False
                state = f"{fmt_p(p)}, x={x:.4g}, {fmt_t(t)}"
            else:
                p, t, node = single_phase_state(rng, window)
                values = props(if97(P=p / 10.0, T=t + KELVIN))
                state = f"{fmt_p(p)}, {fmt_t(t)}"
        except NotAvailable:
            continue  # no known state to enter from
        for key, prefix in INVERSE.items():
            expected = {prefix + "T": t}
            for other in "vhs":
                if other != key:
                    expected[prefix + other.upper()] = values[other]
            expected[prefix + "Q"] = x if wet else single_phase_quality(p, t, key, values)
            unit = QUANTITIES[key][1]
            where = f"{key}={values[key]:.6g} {unit} ({state})"
            out[key].append(Sample((p, values[key]), expected, where, p, t, node,
                                   window or None))
    return out


def build_samples(count):
    """{export: [Sample]} for the domain and, separately, the critical window."""
    rng = random.Random(SEED)
    window_count = max(50, count // 5)
    families = {}
    for window, n in ((False, count), (True, window_count)):
        groups = [
            (["AQPPT", "AQPPQH", "AQPPQS", "AQPPQV"], saturation_pressure_samples(rng, n, window)),
            (["AQPTP", "AQPTQH", "AQPTQS", "AQPTQV"], saturation_temperature_samples(rng, n, window)),
            (["AQPPTH", "AQPPTS", "AQPPTV"], single_phase_samples(rng, n, window)),
        ]
        for key, samples in inverse_samples(rng, n, window).items():
            groups.append(([INVERSE[key] + r for r in "TVHSQ" if r.lower() != key], samples))
        for exports, samples in groups:
            for name in exports:
                families.setdefault(name, []).extend(samples)
    return families


# --------------------------------------------------------------------------
# Comparison

class Tally:
    def __init__(self):
        self.errors = []       # (abs, rel or None, where)
        self.codes = {}        # code -> count
        self.unavailable = 0
        self.failures = []
        self.swapped = []      # abs errors of states answered for the other phase

    def add_error(self, absolute, relative, where):
        self.errors.append((absolute, relative, where))


def relative_error(quantity, absolute, expected):
    floor = QUANTITIES[quantity][2]
    if quantity == "x":
        return None
    if quantity == "T":
        return absolute / (expected + KELVIN)
    return absolute / max(abs(expected), floor)


def compare(library, families):
    """{subset: {export: Tally}} for the subsets 'all', 'critical', 'nodes'."""
    tallies = {subset: {name: Tally() for name in EXPORTS}
               for subset in ("all", "critical", "nodes")}
    swaps = {}
    for name, (arity, quantity) in EXPORTS.items():
        for sample in families[name]:
            subsets = ["critical"] if sample.critical else ["all"]
            if sample.node and not sample.critical:
                subsets.append("nodes")
            if sample.expected is None:
                for subset in subsets:
                    tallies[subset][name].unavailable += 1
                continue
            try:
                value = library.call(name, *sample.args[:arity])
            except CallFailed as failure:
                for subset in subsets:
                    tallies[subset][name].failures.append(str(failure))
                continue
            if value in ERROR_CODES:
                for subset in subsets:
                    codes = tallies[subset][name].codes
                    codes[value] = codes.get(value, 0) + 1
                continue
            expected = sample.expected[name]
            absolute = abs(value - expected)
            relative = relative_error(quantity, absolute, expected)
            swapped = name in PRESSURE_TEMPERATURE and phase_swapped(library, sample, swaps)
            for subset in subsets:
                tallies[subset][name].add_error(absolute, relative, sample.where)
                if swapped:
                    tallies[subset][name].swapped.append(absolute)
    return tallies


PRESSURE_TEMPERATURE = ("AQPPTH", "AQPPTS", "AQPPTV")


def phase_swapped(library, sample, cache):
    """True when the state lies between IF97's saturation temperature and
    the library's at its pressure: the library answers for the other phase."""
    if id(sample) not in cache:
        p, t = sample.args
        swapped = False
        if p < CRITICAL_P_BAR:
            ts_if97 = _TSat_P(p / 10.0) - KELVIN
            ts_library = library.call("AQPPT", p)
            swapped = (t < ts_if97) != (t < ts_library)
        cache[id(sample)] = swapped
    return cache[id(sample)]


def percentile(sorted_values, fraction):
    if not sorted_values:
        return None
    rank = max(1, math.ceil(fraction * len(sorted_values)))
    return sorted_values[rank - 1]


def summarise(tally):
    """Figures of one export over one subset."""
    absolute = sorted(e[0] for e in tally.errors)
    relative = sorted(e[1] for e in tally.errors if e[1] is not None)
    worst_abs = max(tally.errors, key=lambda e: e[0], default=None)
    worst_rel = max((e for e in tally.errors if e[1] is not None), key=lambda e: e[1],
                    default=None)
    return {
        "states": len(tally.errors),
        "codes": sum(tally.codes.values()),
        "code_list": tally.codes,
        "unavailable": tally.unavailable,
        "failures": len(tally.failures),
        "swapped": (len(tally.swapped), max(tally.swapped, default=None)),
        "abs": [percentile(absolute, 0.5), percentile(absolute, 0.95),
                absolute[-1] if absolute else None],
        "rel": [percentile(relative, 0.5), percentile(relative, 0.95),
                relative[-1] if relative else None],
        "worst_abs": worst_abs[2] if worst_abs else "",
        "worst_rel": worst_rel[2] if worst_rel else "",
    }


# --------------------------------------------------------------------------
# Output

def number(value):
    if value is None:
        return "-"
    if value == 0:
        return "0"
    return f"{value:.2e}"


HEADER = ["Export", "Result", "States", "Codes", "IF97 n/a", "Median abs", "P95 abs",
          "Max abs", "Median rel", "P95 rel", "Max rel", "Largest abs error at",
          "Largest rel error at"]


def rows(summaries):
    out = []
    for name, figures in summaries.items():
        symbol, unit, _ = QUANTITIES[EXPORTS[name][1]]
        out.append([f"`{name}`", f"{symbol} ({unit})", str(figures["states"]),
                    str(figures["codes"]), str(figures["unavailable"])]
                   + [number(v) for v in figures["abs"]]
                   + [number(v) for v in figures["rel"]]
                   + [figures["worst_abs"], figures["worst_rel"] or "-"])
    return out


def node_rows(summaries):
    out = []
    for name, figures in summaries.items():
        symbol, unit, _ = QUANTITIES[EXPORTS[name][1]]
        out.append([f"`{name}`", f"{symbol} ({unit})", str(figures["states"]),
                    number(figures["abs"][2]), number(figures["rel"][2]),
                    figures["worst_abs"]])
    return out


TEXT_COLUMNS = {"Export", "Result", "Largest abs error at", "Largest rel error at"}


def markdown_table(header, body):
    lines = ["| " + " | ".join(header) + " |",
             "|" + "|".join("---" if title in TEXT_COLUMNS else "---:"
                            for title in header) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in body]
    return "\n".join(lines)


def text_table(header, body):
    widths = [max(len(c.strip("`")) for c in column) for column in zip(header, *body)]
    lines = []
    for row in [header] + body:
        lines.append("  ".join(c.strip("`").ljust(w) for c, w in zip(row, widths)).rstrip())
        if row is header:
            lines.append("  ".join("-" * w for w in widths))
    return "\n".join(lines)


def code_summary(summaries):
    parts = []
    for name, figures in summaries.items():
        if figures["code_list"]:
            codes = ", ".join(f"{int(code)} x{count}"
                              for code, count in sorted(figures["code_list"].items()))
            parts.append(f"{name}: {codes}")
    return "; ".join(parts) if parts else "none"


def swap_summary(summaries):
    parts = [f"{name}: {figures['swapped'][0]} (largest error {number(figures['swapped'][1])})"
             for name, figures in summaries.items() if figures["swapped"][0]]
    return "; ".join(parts) if parts else "none"


def report(tallies, library_path, count, elapsed, markdown):
    table = markdown_table if markdown else text_table
    summaries = {subset: {name: summarise(t) for name, t in by_export.items()}
                 for subset, by_export in tallies.items()}
    heading = (lambda text: f"### {text}") if markdown else (lambda text: f"{text}\n{'=' * len(text)}")
    window = (f"within {WINDOW_T_C:g} C and {WINDOW_P_BAR:g} bar of IF97's critical point "
              f"({CRITICAL_P_BAR:g} bar, {CRITICAL_T_C:g} C)")
    out = [
        heading("Accuracy of RUDID32 against IAPWS-IF97"),
        "",
        f"Library `{library_path}`; {count} states per export over the whole domain, "
        f"seed {SEED}: pressures log-spread over 0.01..1000 bar (0.01..221.2 for the "
        "saturation functions), temperatures over 0..800 C (0..374.15), qualities over 0..1; "
        "55 % random, 15 % table grid nodes, 15 % centres of table cells, 15 % near the "
        "saturation line (within 0.0005..8 C; below 0.01 C for the saturation functions of "
        "temperature). The inverse functions are entered with the h, s or v of a known "
        "single-phase state (75 %) or wet state (25 %) and compared with its temperature, "
        "other properties and quality; above IF97's critical pressure the quality of a state "
        "is taken as 1 when its key exceeds the key at IF97's critical point "
        "(2087.5 kJ/kg, 4.4120 kJ/(kg K), 0.0031056 m3/kg), else 0.",
        "",
        "Errors are |library - IF97| in the unit of the result; "
        "relative errors of temperatures are taken against the absolute temperature, of "
        "enthalpies against max(|h|, 1 kJ/kg), of entropies against max(|s|, 0.01 kJ/(kg K)). "
        "States: compared; Codes: answered with an error code (not compared); "
        "IF97 n/a: IF97 cannot evaluate the state (skipped).",
        "",
        heading("Whole domain (outside the critical window)"),
        "",
        table(HEADER, rows(summaries["all"])),
        "",
        f"Error codes: {code_summary(summaries['all'])}.",
        "",
        "States between IF97's and the library's saturation temperature, which the "
        f"library answers for the other phase: {swap_summary(summaries['all'])}.",
        "",
        heading(f"Near the critical point: {window}"),
        "",
        table(HEADER, rows(summaries["critical"])),
        "",
        f"Error codes: {code_summary(summaries['critical'])}.",
        "",
        "States between IF97's and the library's saturation temperature: "
        f"{swap_summary(summaries['critical'])}.",
        "",
        heading("At the table grid nodes (part of the whole-domain states)"),
        "",
        table(["Export", "Result", "States", "Max abs", "Max rel", "Largest abs error at"],
              node_rows(summaries["nodes"])),
        "",
        f"Run time: {elapsed:.1f} s.",
    ]
    failures = [f for by_export in tallies.values() for t in by_export.values()
                for f in t.failures]
    if failures:
        out += ["", f"FAILED CALLS ({len(failures)}):"] + failures[:20]
    print("\n".join(out))
    return not failures


def positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("must be at least 1")
    return value


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", help="path of libRUDID32.so (default: build/ of the repo)")
    parser.add_argument("--states", type=positive, default=DEFAULT_STATES,
                        help="states per export over the whole domain (default %(default)s)")
    parser.add_argument("--markdown", action="store_true",
                        help="print Markdown tables (for the README)")
    args = parser.parse_args(argv)

    started = time.monotonic()
    try:
        path = find_library(args.library)
        library = Library(path)
        check_units(library)
    except (OSError, RuntimeError, CallFailed) as error:
        print(f"accuracy_report: {error}", file=sys.stderr)
        return 1
    families = build_samples(args.states)
    tallies = compare(library, families)
    return 0 if report(tallies, path, args.states, time.monotonic() - started,
                       args.markdown) else 1


if __name__ == "__main__":
    sys.exit(main())
