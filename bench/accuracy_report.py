#!/usr/bin/python3
"""Accuracy of the RUDID32 property functions against IAPWS-IF97.

Calls each property function of the built library at a few thousand states
spread over its domain and compares every answer with IF97 evaluated
directly at the same state (python3-iapws, class IAPWS97):

    /usr/bin/python3 bench/accuracy_report.py [--library PATH] [--states N] [--markdown]
                                              [--promise-states N] [--target-states N]
                                              [--maps DIR]

The functions, their arguments, results and units, and the meaning of the
codes come from the library (RudidFunctionCount ... RudidRangeMessage).

It also checks the promise of RudidStateFlags over random states (pressure
log-uniform over 0.01..1000 bar, temperature uniform over 0..800 C) of the
functions of pressure and temperature and of the temperature back from
enthalpy, entropy and volume: at least 99 % of the answers off by more than
1 % are flagged, and the share flagged stays below 1.5 times the share off
plus 5 points. It names the largest error seen under each reason flagged.
With --maps it draws SVG maps of the error of enthalpy over p-T and of
temperature over p-h (bench/error_maps.py), for the table answer and the
refined one.

Every table gives the refined answer (RudidEvaluateRefined) beside the
table answer, and a last section checks the refined answers' targets over
random states of every function (--target-states, default 20,000): outside
the critical window and the states RudidRefinedFlags flags, at most 0.2 %
off by more than 1 % and none by more than 2 %, an error counting only
beyond the floor of its quantity (0.5 kJ/kg, 0.002 kJ/(kg K), 0.05 C; a
quality by 0.01); it also counts how often a refined answer differs from
an unflagged table answer and whether it is then the farther from IF97.

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

import derived_accuracy
import error_maps
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

# Pressure grids of the tables (bar): segments of (points, k0, start, step).
SATURATION_GRID = [(19, 0, 0.005, 0.005), (20, 19, 0.1, 0.01), (5, 39, 0.3, 0.02),
                   (12, 44, 0.4, 0.05), (40, 56, 1.0, 0.1), (25, 96, 5.0, 0.2),
                   (40, 121, 10.0, 0.5), (70, 161, 30.0, 1.0), (60, 231, 100.0, 2.0)]
SINGLE_PHASE_GRID = [(10, 0, 0.0, 0.01), (20, 10, 0.1, 0.02), (10, 30, 0.5, 0.05),
                     (20, 40, 1.0, 0.1), (10, 60, 3.0, 0.2), (30, 70, 5.0, 0.5),
                     (30, 100, 20.0, 1.0), (25, 130, 50.0, 2.0), (20, 155, 100.0, 5.0),
                     (30, 175, 200.0, 10.0), (15, 205, 500.0, 20.0), (4, 220, 800.0, 50.0)]

# Quantity codes of the public header (RUDID_PRESSURE, ...) and the
# report's symbol for each, which is also the IF97 property compared.
QUALITY = -1
SYMBOLS = {3: "P", 5: "h", 6: "T", 10: "s", 12: "v", QUALITY: "x"}

# Floor of the denominator of a relative error, by symbol; None: temperatures
# count against the absolute temperature, qualities have absolute errors only.
FLOORS = {"T": None, "P": 0.0, "h": 1.0, "s": 0.01, "v": 0.0, "x": None}

class NotAvailable(Exception):
    """IF97 cannot evaluate the state."""


class CallFailed(Exception):
    """The library returned no value (NULL)."""


# --------------------------------------------------------------------------
# The library

class Export:
    """One property function as the library describes it."""

    def __init__(self, name, index, arguments, result):
        self.name = name
        self.index = index
        self.arity = len(arguments)
        self.arguments = tuple(SYMBOLS[q] for q in arguments)
        self.symbol = SYMBOLS[result]    # of the result
        first = self.arguments[0]
        second = self.arguments[1] if self.arity == 2 else None
        if first == "T":
            self.kind = "saturation by temperature"
        elif second in (None, "x"):
            self.kind = "saturation by pressure"
        elif second == "T":
            self.kind = "pressure-temperature"
        else:
            self.kind = "inverse"
        self.key = second if self.kind == "inverse" else None


class Catalogue:
    """The property functions in ordinal order, with the units and messages
    of the library."""

    def __init__(self, exports, units=None, range_message=None):
        self.exports = {export.name: export for export in exports}
        self.units = units or {}                       # symbol -> internal unit
        self.range_message = range_message or (lambda index, code: None)

    def __iter__(self):
        return iter(self.exports.values())

    def __getitem__(self, name):
        return self.exports[name]

    @property
    def names(self):
        return list(self.exports)

    def find(self, arguments, symbol):
        """The name of the function of these argument symbols and result."""
        for export in self:
            if export.arguments == tuple(arguments) and export.symbol == symbol:
                return export.name
        raise KeyError(f"the library has no function of {arguments} giving {symbol}")

    def of_kind(self, kind, key=None):
        return [e.name for e in self if e.kind == kind and e.key == key]

    def unit(self, symbol):
        return self.units.get(symbol) or "-"


class Library:
    def __init__(self, path):
        self.path = path
        self.dll = ctypes.CDLL(str(path))
        signatures = {
            "RudidLastError": (ctypes.c_int, []),
            "RudidStateFlags": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_double, ctypes.c_double]),
            "RudidFunctionCount": (ctypes.c_int, []),
            "RudidFunctionName": (ctypes.c_char_p, [ctypes.c_int]),
            "RudidFunctionArity": (ctypes.c_int, [ctypes.c_int]),
            "RudidFunctionArgument": (ctypes.c_int, [ctypes.c_int, ctypes.c_int]),
            "RudidFunctionResult": (ctypes.c_int, [ctypes.c_int]),
            "RudidInternalUnit": (ctypes.c_char_p, [ctypes.c_int]),
            "RudidConfiguredUnit": (ctypes.c_char_p, [ctypes.c_int]),
            "RudidRangeCode": (ctypes.c_int, [ctypes.c_double]),
            "RudidRangeMessage": (ctypes.c_char_p, [ctypes.c_int, ctypes.c_int]),
            "RudidFailureMessage": (ctypes.c_char_p, [ctypes.c_int]),
            "RudidRefinedFlags": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_double, ctypes.c_double]),
        }
        for name, (restype, argtypes) in signatures.items():
            function = getattr(self.dll, name)
            function.restype = restype
            function.argtypes = argtypes
        self.catalogue = self.describe()
        self.functions = {}
        for export in self.catalogue:
            function = getattr(self.dll, export.name)
            function.restype = ctypes.POINTER(ctypes.c_double)
            function.argtypes = [ctypes.c_double] * export.arity
            self.functions[export.name] = function

    def describe(self):
        """The catalogue of property functions, as the library tells it."""
        dll = self.dll
        exports = []
        for index in range(dll.RudidFunctionCount()):
            arguments = [dll.RudidFunctionArgument(index, position)
                         for position in range(1, dll.RudidFunctionArity(index) + 1)]
            exports.append(Export(dll.RudidFunctionName(index).decode(), index, arguments,
                                  dll.RudidFunctionResult(index)))
        units = {symbol: dll.RudidInternalUnit(code).decode() for code, symbol in SYMBOLS.items()}
        self.configured = {symbol: dll.RudidConfiguredUnit(code).decode()
                           for code, symbol in SYMBOLS.items()}

        def range_message(index, code):
            text = dll.RudidRangeMessage(index, code)
            return text.decode() if text else None
        return Catalogue(exports, units, range_message)

    def call(self, name, *args):
        """The double that the export returns; raises CallFailed for NULL."""
        result = self.functions[name](*args)
        if not result:
            code = self.dll.RudidLastError()
            message = self.dll.RudidFailureMessage(code).decode()
            raise CallFailed(f"{name}{args}: no result, {message} (failure code {code})")
        return result.contents.value

    def evaluate(self, name, first, second=None, refined=False):
        """[double] of RudidEvaluate (or RudidEvaluateRefined) over the rows;
        raises CallFailed when a row failed."""
        n = len(first)
        arrays = [(ctypes.c_double * n)(*first), (ctypes.c_double * n)(*(second or [0.0] * n))]
        result, failure = (ctypes.c_double * n)(), (ctypes.c_int * n)()
        function = self.dll.RudidEvaluateRefined if refined else self.dll.RudidEvaluate
        failed = function(name.encode(), ctypes.c_size_t(n), arrays[0], arrays[1], result, failure)
        if failed:
            code = next((f for f in failure if f), failed)
            raise CallFailed(f"{name}: {failed} rows without a result (failure code {code})")
        return list(result)

    def call_refined(self, name, *args):
        """The refined answer of one state (RudidEvaluateRefined)."""
        return self.evaluate(name, [args[0]], [args[1] if len(args) > 1 else 0.0], True)[0]

    def range_code(self, value):
        """The error code that an answer is, or 0 for a property."""
        return self.dll.RudidRangeCode(value)

    def refined_flags(self, name, first, second=0.0):
        """RudidRefinedFlags of the export at these arguments."""
        return self.dll.RudidRefinedFlags(name.encode(), first, second)

    def flags(self, name, first, second=0.0):
        """RudidStateFlags of the export at these arguments."""
        return self.dll.RudidStateFlags(name.encode(), first, second)


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
    """The comparisons are made in the library's internal units (bar, C,
    kJ/kg, ...): the configuration must select them."""
    for symbol, unit in library.catalogue.units.items():
        if library.configured[symbol] != unit:
            raise RuntimeError(f"the library is configured for {library.configured[symbol]} where "
                               f"the report needs {unit}: use a default.cfg of internal units")
    catalogue = library.catalogue
    probes = [(catalogue.find("P", "T"), (1.01325,), 100.0, 0.5),
              (catalogue.find("PT", "h"), (1.0, 20.0), 84.0, 1.0)]
    for name, args, expected, tolerance in probes:
        value = library.call(name, *args)
        if abs(value - expected) > tolerance:
            raise RuntimeError(f"{name}{args} = {value}, expected about {expected}: the library "
                               "answers wrongly")


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
        expected = {"T": ts, "h": m["h"], "s": m["s"], "v": m["v"]}
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
        expected = {"P": ps, "h": m["h"], "s": m["s"], "v": m["v"]}
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
        expected = dict(values)
        samples.append(Sample((p, t), expected, where, p, t, node, window or None))
    return samples


KEYS = ("h", "s", "v")


def inverse_samples(rng, count, window, units):
    """{key: [Sample]}: the same known states, entered by h, s and v."""
    out = {key: [] for key in KEYS}
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
        for key in KEYS:
            expected = {"T": t}
            for other in "vhs":
                if other != key:
                    expected[other] = values[other]
            expected["x"] = x if wet else single_phase_quality(p, t, key, values)
            where = f"{key}={values[key]:.6g} {units(key)} ({state})"
            out[key].append(Sample((p, values[key]), expected, where, p, t, node,
                                   window or None))
    return out


def build_samples(catalogue, count):
    """{export: [Sample]} for the domain and, separately, the critical window.
    The samples of a state serve every function of its kind, each comparing
    the IF97 value of its result."""
    rng = random.Random(SEED)
    window_count = max(50, count // 5)
    families = {}
    for window, n in ((False, count), (True, window_count)):
        groups = [
            (catalogue.of_kind("saturation by pressure"), saturation_pressure_samples(rng, n, window)),
            (catalogue.of_kind("saturation by temperature"),
             saturation_temperature_samples(rng, n, window)),
            (catalogue.of_kind("pressure-temperature"), single_phase_samples(rng, n, window)),
        ]
        for key, samples in inverse_samples(rng, n, window, catalogue.unit).items():
            groups.append((catalogue.of_kind("inverse", key), samples))
        for exports, samples in groups:
            for name in exports:
                families.setdefault(name, []).extend(samples)
    return families


# --------------------------------------------------------------------------
# Comparison

# Flag bits of RudidStateFlags, as the public header names them.
FLAG_REASONS = (
    (0x1, "mixed-phase cell"),
    (0x2, "near saturation"),
    (0x4, "critical region"),
    (0x8, "coarse grid"),
)
UNFLAGGED = "not flagged"


class Tally:
    def __init__(self):
        self.errors = []       # (abs, rel or None, where)
        self.codes = {}        # code -> count
        self.unavailable = 0
        self.failures = []
        self.swapped = []      # abs errors of states answered for the other phase
        self.flagged = {}      # reason or "not flagged" -> (largest error, where)
        self.refined = []      # (error, off, where) of the refined answers
        self.table_off = 0     # table answers off by more than 1 % (is_off)

    def add_error(self, absolute, relative, where, flags=0):
        self.errors.append((absolute, relative, where))
        error = absolute if relative is None else relative
        note_worst(self.flagged, flags, error, where)


def note_worst(worst, flags, error, where):
    """Keeps the largest error under the first reason flagged, in the order
    of FLAG_REASONS (the most severe first), or under "not flagged"."""
    reason = next((reason for bit, reason in FLAG_REASONS if flags & bit), UNFLAGGED)
    if error > worst.get(reason, (-1.0, ""))[0]:
        worst[reason] = (error, where)


def relative_error(quantity, absolute, expected):
    floor = FLOORS[quantity]
    if quantity == "x":
        return None
    if quantity == "T":
        return absolute / (expected + KELVIN)
    return absolute / max(abs(expected), floor)


def compare(library, families):
    """{subset: {export: Tally}} for the subsets 'all', 'critical', 'nodes'."""
    catalogue = library.catalogue
    tallies = {subset: {name: Tally() for name in catalogue.names}
               for subset in ("all", "critical", "nodes")}
    swaps = {}
    for export in catalogue:
        name, arity, quantity = export.name, export.arity, export.symbol
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
            code = library.range_code(value)
            if code:
                for subset in subsets:
                    codes = tallies[subset][name].codes
                    codes[code] = codes.get(code, 0) + 1
                continue
            expected = sample.expected[quantity]
            absolute = abs(value - expected)
            relative = relative_error(quantity, absolute, expected)
            swapped = export.kind == "pressure-temperature" and phase_swapped(library, sample, swaps)
            flags = library.flags(name, *sample.args[:arity])
            refined = refined_error(library, name, sample.args[:arity], quantity, expected)
            off = is_off(quantity, absolute, relative or 0.0)
            for subset in subsets:
                tallies[subset][name].add_error(absolute, relative, sample.where, flags)
                tallies[subset][name].table_off += off
                if refined is not None:
                    tallies[subset][name].refined.append(refined + (sample.where,))
                if swapped:
                    tallies[subset][name].swapped.append(absolute)
    return tallies


def refined_error(library, name, args, quantity, expected):
    """(error, off) of the refined answer, or None for an error code."""
    value = library.call_refined(name, *args)
    if library.range_code(value):
        return None
    error, off, _ = measure(quantity, value, expected)
    return error, off


def phase_swapped(library, sample, cache):
    """True when the state lies between IF97's saturation temperature and
    the library's at its pressure: the library answers for the other phase."""
    if id(sample) not in cache:
        p, t = sample.args
        swapped = False
        if p < CRITICAL_P_BAR:
            ts_if97 = _TSat_P(p / 10.0) - KELVIN
            ts_library = library.call(library.catalogue.find("P", "T"), p)
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
        "off": tally.table_off / len(tally.errors) if tally.errors else None,
        "refined_off": (sum(r[1] for r in tally.refined) / len(tally.refined)
                        if tally.refined else None),
        "refined_worst": max(tally.refined, default=None),
    }


# --------------------------------------------------------------------------
# The flags' promise

# The functions checked, by arguments and result: enthalpy, entropy and
# volume from pressure and temperature, and temperature back from each.
PROMISE_FUNCTIONS = (("PT", "h"), ("PT", "s"), ("PT", "v"), ("Ph", "T"), ("Ps", "T"), ("Pv", "T"))
PROMISE_STATES = 20000
PROMISE_SEED = 20261207
OFF_LIMIT = 0.01            # an answer is off when its relative error exceeds this
CAUGHT_SHARE = 0.99         # of the states off, at least this share is flagged
FLAGGED_FACTOR = 1.5        # the share flagged stays below this times the share off
FLAGGED_ALLOWANCE = 0.05    # plus this



PROMISE_STATES_TEXT = (
    f"Random states, seed {PROMISE_SEED}: pressure log-uniform over {P_MIN:g}..{P_MAX:g} bar, "
    f"temperature uniform over {T_MIN:g}..{T_MAX:g} C; the inverse functions are entered with "
    "IF97's enthalpy, entropy or volume of each state and compared with its temperature.")


def promise_states(count, seed=PROMISE_SEED):
    """[(p bar, t C, {v, h, s})]: pressure log-uniform over 0.01..1000 bar,
    temperature uniform over 0..800 C; states IF97 cannot evaluate are
    drawn again."""
    rng = random.Random(seed)
    states = []
    while len(states) < count:
        p = log_uniform(rng, P_MIN, P_MAX)
        t = rng.uniform(T_MIN, T_MAX)
        try:
            states.append((p, t, props(if97(P=p / 10.0, T=t + KELVIN))))
        except NotAvailable:
            continue
    return states


class PromiseTally:
    """One export over the promise's states."""

    def __init__(self, name):
        self.name = name
        self.answered = 0
        self.off = 0
        self.flagged = 0
        self.caught = 0
        self.missed = []           # (relative error, where) of states off and not flagged
        self.worst = {}            # reason or "not flagged" -> (relative error, where)
        self.points = []           # (p, second argument, relative error, flags)

    def add(self, p, second, relative, flags, where):
        self.answered += 1
        off = relative > OFF_LIMIT
        self.off += off
        self.flagged += flags != 0
        self.caught += off and flags != 0
        if off and not flags:
            self.missed.append((relative, where))
        note_worst(self.worst, flags, relative, where)
        self.points.append((p, second, relative, flags))

    @property
    def off_share(self):
        return self.off / self.answered if self.answered else 0.0

    @property
    def flagged_share(self):
        return self.flagged / self.answered if self.answered else 0.0

    @property
    def caught_share(self):
        return self.caught / self.off if self.off else 1.0

    @property
    def flagged_limit(self):
        return FLAGGED_FACTOR * self.off_share + FLAGGED_ALLOWANCE

    @property
    def kept(self):
        return self.caught_share >= CAUGHT_SHARE and self.flagged_share < self.flagged_limit


def promise_exports(catalogue):
    return [catalogue.find(arguments, result) for arguments, result in PROMISE_FUNCTIONS]


def check_promise(library, states, exports=None):
    """{export: PromiseTally} of the states; refused states are not counted."""
    catalogue = library.catalogue
    tallies = {}
    for name in exports or promise_exports(catalogue):
        quantity = catalogue[name].symbol
        tally = PromiseTally(name)
        key = catalogue[name].key
        for p, t, values in states:
            second = t if key is None else values[key]
            value = library.call(name, p, second)
            if library.range_code(value):
                continue
            expected = values[quantity] if key is None else t
            relative = relative_error(quantity, abs(value - expected), expected)
            where = f"{fmt_p(p)}, {fmt_t(t)}" if key is None else \
                f"{fmt_p(p)}, {key}={second:.6g} ({fmt_t(t)})"
            tally.add(p, second, relative, library.flags(name, p, second), where)
        tallies[name] = tally
    return tallies



# --------------------------------------------------------------------------
# The refined answers' targets

TARGET_STATES = 20000
TARGET_SEED = 20261219
TARGET_OFF_SHARE = 0.002    # at most this share of the states off by more than 1 %
TARGET_WORST = 0.02         # and none off by more than this
# Below these absolute errors an answer is never off, whatever its relative
# error: values that pass through zero (enthalpy and entropy at the triple
# point, temperatures near 0 C) are judged by their absolute error there.
OFF_FLOORS = {"T": 0.05, "P": 0.0, "h": 0.5, "s": 0.002, "v": 0.0}
QUALITY_OFF = 0.01          # a quality is off when its absolute error exceeds this
# Reasons of RudidRefinedFlags, as the public header names them.
REFINED_REASONS = ((0x4, "critical region"), (0x10, "ill-posed"))
# IF97 evaluates the saturated phases with the equations of regions 1 and 2
# up to this pressure (MPa) and temperature (K); beyond, region 3.
REGION_3_SATURATION_MPA = 16.5292

TARGET_STATES_TEXT = (
    f"Random states, seed {TARGET_SEED}: pressure log-uniform over {P_MIN:g}..{P_MAX:g} bar "
    f"({P_MIN:g}..{P_SAT_MAX:g} with a quality uniform over 0..1 for the saturation functions of "
    f"pressure), temperature uniform over {T_MIN:g}..{T_MAX:g} C ({T_MIN:g}..{T_SAT_MAX:g} for "
    "those of temperature); the inverse functions are entered with IF97's enthalpy, entropy "
    "or volume of a state of pressure and temperature and compared with its temperature, "
    "other properties and quality.")


def is_off(quantity, absolute, relative, limit=OFF_LIMIT):
    """Whether an error counts: beyond limit relative to the value and beyond
    the floor of its quantity (for a quality, beyond QUALITY_OFF)."""
    if quantity == "x":
        return absolute > QUALITY_OFF
    return relative > limit and absolute > OFF_FLOORS[quantity]


def region_3(p_mpa, t_k, v):
    """{v, h, s} of IF97's region 3 at p and T, Newton's method on the
    density from the estimate 1 / v (as IAPWS97 solves it, without its
    general-purpose solver's cost); NotAvailable when it does not settle."""
    from iapws.iapws97 import _Region3
    rho = 1.0 / v
    for _ in range(30):
        state = _Region3(rho, t_k)
        if abs(state["P"] - p_mpa) <= 1e-12 * p_mpa:
            return {k: state[k] for k in "vhs"}
        step = 1e-7 * rho
        slope = (_Region3(rho + step, t_k)["P"] - state["P"]) / step
        if not slope > 0:
            break
        rho -= (state["P"] - p_mpa) / slope
    raise NotAvailable(f"region 3 at {p_mpa} MPa, {t_k} K does not settle")


def fast_saturation(p_bar=None, t_c=None):
    """(Ts C, Ps bar, liquid props, vapour props) of IF97: the equations of
    regions 1 and 2, or region 3 solved at the saturation pressure from
    IF97's backward densities, as IAPWS97(P, x) solves it."""
    from iapws.iapws97 import _Backward3_sat_v_P, _Region1, _Region2
    if p_bar is not None:
        if p_bar >= CRITICAL_P_BAR:
            raise NotAvailable(f"{p_bar} bar is above IF97's critical pressure")
        t_k, p_mpa = _TSat_P(p_bar / 10.0), p_bar / 10.0
    else:
        if t_c + KELVIN >= IF97_TC_K:
            raise NotAvailable(f"{t_c} C is above IF97's critical temperature")
        t_k, p_mpa = t_c + KELVIN, _PSat_T(t_c + KELVIN)
    pick = lambda d: {k: d[k] for k in "vhs"}  # noqa: E731
    if t_k <= REGION_3_SATURATION_K:
        liquid, vapour = pick(_Region1(t_k, p_mpa)), pick(_Region2(t_k, p_mpa))
    else:
        liquid, vapour = (region_3(p_mpa, t_k, _Backward3_sat_v_P(p_mpa, t_k, x)) for x in (0, 1))
    return t_k - KELVIN, p_mpa * 10.0, liquid, vapour


def fast_state(p_bar, t_c):
    """{v, h, s} of IF97 at p and T: regions 1, 2 and 3 evaluated directly
    (as IAPWS97 evaluates them), anything else through IAPWS97."""
    from iapws.iapws97 import _Backward3_v_PT, _Bound_TP, _Region1, _Region2
    t_k, p_mpa = t_c + KELVIN, p_bar / 10.0
    region = _Bound_TP(t_k, p_mpa)
    if region in (1, 2):
        state = (_Region1 if region == 1 else _Region2)(t_k, p_mpa)
        return {k: state[k] for k in "vhs"}
    if region == 3:
        try:
            return region_3(p_mpa, t_k, _Backward3_v_PT(p_mpa, t_k))
        except NotAvailable:
            pass
    return props(if97(P=p_mpa, T=t_k))


def target_states(count, seed=TARGET_SEED):
    """{"pressure": [(p, x, expected)], "temperature": [(t, x, expected)],
    "single": [(p, t, {v, h, s})]}; states IF97 cannot evaluate are drawn
    again."""
    rng = random.Random(seed)
    out = {"pressure": [], "temperature": [], "single": []}
    while len(out["single"]) < count:
        p, t = log_uniform(rng, P_MIN, P_MAX), rng.uniform(T_MIN, T_MAX)
        try:
            out["single"].append((p, t, fast_state(p, t)))
        except NotAvailable:
            continue
    for kind in ("pressure", "temperature"):
        while len(out[kind]) < count:
            level = log_uniform(rng, P_MIN, P_SAT_MAX) if kind == "pressure" else \
                rng.uniform(T_MIN, T_SAT_MAX)
            x = rng.random()
            try:
                ts, ps, liquid, vapour = fast_saturation(**{("p_bar" if kind == "pressure"
                                                             else "t_c"): level})
            except NotAvailable:
                continue
            expected = dict(mix(liquid, vapour, x), T=ts, P=ps)
            out[kind].append((level, x, expected))
    return out


def target_rows_of(export, states):
    """[(first, second, expected value of the result, window, where)]."""
    kind, symbol = export.kind, export.symbol
    rows = []
    if kind.startswith("saturation"):
        for level, x, expected in states["pressure" if kind.endswith("pressure") else "temperature"]:
            p, t = (level, expected["T"]) if kind.endswith("pressure") else (expected["P"], level)
            where = f"{fmt_p(level)}, x={x:.4g}" if kind.endswith("pressure") else \
                f"{fmt_t(level)}, x={x:.4g}"
            rows.append((level, x, expected[symbol], in_window(p, t), where))
        return rows
    for p, t, values in states["single"]:
        if kind == "pressure-temperature":
            rows.append((p, t, values[symbol], in_window(p, t), f"{fmt_p(p)}, {fmt_t(t)}"))
            continue
        key = export.key
        expected = dict(values, T=t, x=single_phase_quality(p, t, key, values))
        rows.append((p, values[key], expected[symbol], in_window(p, t),
                     f"{fmt_p(p)}, {key}={values[key]:.6g} ({fmt_t(t)})"))
    return rows


class TargetTally:
    """One export's table and refined answers over the target states."""

    def __init__(self, name):
        self.name = name
        self.counted = 0          # outside the window and not flagged for the refined answer
        self.off = {"table": 0, "refined": 0}
        self.worst = {"table": (0.0, ""), "refined": (0.0, "")}
        self.beyond = 0           # refined answers off by more than TARGET_WORST
        self.excluded = {"window": 0, "codes": 0}
        self.refined_reasons = {}  # reason or "not flagged" -> (largest error, where)
        self.unflagged_differ = 0  # table answer without flags, refined differs by > 0.1 %
        self.unflagged = 0
        self.unflagged_worse = 0   # of those, the refined answer farther from IF97
        self.largest_difference = (0.0, "")

    @property
    def off_share(self):
        return {k: v / self.counted if self.counted else 0.0 for k, v in self.off.items()}

    @property
    def met(self):
        return self.off_share["refined"] <= TARGET_OFF_SHARE and self.beyond == 0


def measure(quantity, value, expected):
    absolute = abs(value - expected)
    relative = relative_error(quantity, absolute, expected)
    error = absolute if relative is None else relative
    return error, is_off(quantity, absolute, relative or 0.0), \
        is_off(quantity, absolute, relative or 0.0, TARGET_WORST)


def check_targets(library, states):
    """{export: TargetTally} of the table and refined answers."""
    tallies = {}
    for export in library.catalogue:
        name, quantity = export.name, export.symbol
        rows = target_rows_of(export, states)
        first = [r[0] for r in rows]
        second = [r[1] for r in rows]
        answers = {"table": library.evaluate(name, first, second),
                   "refined": library.evaluate(name, first, second, refined=True)}
        tally = TargetTally(name)
        for i, (a, b, expected, window, where) in enumerate(rows):
            table, refined = answers["table"][i], answers["refined"][i]
            if library.range_code(refined) or library.range_code(table):
                tally.excluded["codes"] += 1
                continue
            if window:
                tally.excluded["window"] += 1
                continue
            note_difference(library, tally, name, (a, b), (table, refined, expected), quantity, where)
            flags = library.refined_flags(name, a, b)
            error, off, beyond = measure(quantity, refined, expected)
            reason = next((r for bit, r in REFINED_REASONS if flags & bit), UNFLAGGED)
            if error > tally.refined_reasons.get(reason, (-1.0,))[0]:
                tally.refined_reasons[reason] = (error, where)
            if flags:
                continue
            tally.counted += 1
            tally.off["refined"] += off
            tally.beyond += beyond
            if error > tally.worst["refined"][0]:
                tally.worst["refined"] = (error, where)
            error, off, _ = measure(quantity, table, expected)
            tally.off["table"] += off
            if error > tally.worst["table"][0]:
                tally.worst["table"] = (error, where)
        tallies[name] = tally
    return tallies


DIFFERENCE_LIMIT = 0.001  # refined and table answers differ beyond this (relative)


def note_difference(library, tally, name, args, answers, quantity, where):
    """Counts, among the table answers without flags, those the refined
    answer differs from by more than 0.1 % (qualities: 0.001), and among
    them those where the refined answer is the farther from IF97."""
    if library.flags(name, *args):
        return
    table, refined, expected = answers
    tally.unflagged += 1
    difference = abs(refined - table)
    relative = difference if quantity == "x" else \
        relative_error(quantity, difference, table)
    if relative > DIFFERENCE_LIMIT:
        tally.unflagged_differ += 1
        if abs(refined - expected) > abs(table - expected):
            tally.unflagged_worse += 1
    if relative > tally.largest_difference[0]:
        tally.largest_difference = (relative, where)


# --------------------------------------------------------------------------
# Error maps

MAP_COLUMNS, MAP_ROWS = 160, 100
MAPS = (
    # (function by arguments and result, its range along the horizontal axis, ticks)
    (("PT", "h"), (T_MIN, T_MAX), range(0, 801, 100)),
    (("Ph", "T"), (0.0, 4200.0), range(0, 4201, 500)),
)
AXIS_NAMES = {"T": "temperature", "h": "specific enthalpy"}


def map_file_name(name, refined=False):
    return f"accuracy_map_{name}{'_refined' if refined else ''}.svg"


def map_cell(library, name, x, p, refined=False):
    """(relative error or None, flags) of export name at p and x (T or h),
    of the table answer or the refined one (flags of RudidRefinedFlags)."""
    try:
        value = library.call_refined(name, p, x) if refined else library.call(name, p, x)
    except CallFailed:
        return None, 0
    if library.range_code(value):
        return None, 0
    export = library.catalogue[name]
    quantity = export.symbol
    try:
        if export.key is None:
            expected = props(if97(P=p / 10.0, T=x + KELVIN))[quantity]
        else:
            expected = if97(P=p / 10.0, **{export.key: x}).T - KELVIN
    except NotAvailable:
        return None, 0
    flags = library.refined_flags(name, p, x) if refined else library.flags(name, p, x)
    return relative_error(quantity, abs(value - expected), expected), flags


def saturation_lines(quantity):
    """IF97's saturation line in the plane of quantity ("T" or "h"), as
    [(points, colour, label)]."""
    pressures = [P_MIN * (CRITICAL_P_BAR * 0.9999 / P_MIN) ** (i / 200) for i in range(201)]
    if quantity == "T":
        points = [(_TSat_P(p / 10.0) - KELVIN, p) for p in pressures]
        return [(points, "#2166ac", "saturation line (IF97)")]
    liquid = [(if97(P=p / 10.0, x=0.0).h, p) for p in pressures]
    vapour = [(if97(P=p / 10.0, x=1.0).h, p) for p in pressures]
    return [(liquid + vapour[::-1], "#2166ac", "saturation line (IF97)")]


def draw_maps(library, directory):
    """Writes the SVG maps into directory; returns their paths."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    written = []
    catalogue = library.catalogue
    for ((arguments, result), (x0, x1), ticks), refined in \
            [(m, refined) for m in MAPS for refined in (False, True)]:
        name = catalogue.find(arguments, result)
        quantity = arguments[1]
        label = f"{AXIS_NAMES[quantity]} ({catalogue.unit(quantity)})"
        file_name = map_file_name(name, refined)
        plane = error_maps.Plane(x0, x1, P_MIN, P_MAX, MAP_COLUMNS, MAP_ROWS)
        grid = [[None] * MAP_COLUMNS for _ in range(MAP_ROWS)]
        for row, column, x, p in plane.centres():
            grid[row][column] = map_cell(library, name, x, p, refined)
        answer = "refined answer" if refined else "table answer"
        title = f"{name}: relative error of the {answer} ({result}) against IAPWS-IF97"
        text = error_maps.svg(plane, grid, title, label, list(ticks), saturation_lines(quantity))
        path = directory / file_name
        path.write_text(text)
        written.append(path)
    return written


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
          "Largest rel error at", "Off > 1 %", "Refined off > 1 %", "Refined max",
          "Refined largest error at"]


def result_column(catalogue, name):
    """"T (C)", "p (bar)", ...: the result's symbol and internal unit."""
    symbol = catalogue[name].symbol
    return f"{'p' if symbol == 'P' else symbol} ({catalogue.unit(symbol)})"


def rows(catalogue, summaries):
    out = []
    for name, figures in summaries.items():
        out.append([f"`{name}`", result_column(catalogue, name), str(figures["states"]),
                    str(figures["codes"]), str(figures["unavailable"])]
                   + [number(v) for v in figures["abs"]]
                   + [number(v) for v in figures["rel"]]
                   + [figures["worst_abs"], figures["worst_rel"] or "-"]
                   + refined_cells(catalogue, name, figures))
    return out


def refined_cells(catalogue, name, figures):
    """Share off (table, refined), the largest refined error and where."""
    worst = figures["refined_worst"]
    quality = catalogue[name].symbol == "x"
    largest = "-" if worst is None else number(worst[0]) if quality else share(worst[0])
    return [share_or_dash(figures["off"]), share_or_dash(figures["refined_off"]), largest,
            worst[2] if worst else "-"]


def share_or_dash(value):
    return "-" if value is None else share(value)


def node_rows(catalogue, summaries):
    out = []
    for name, figures in summaries.items():
        worst = figures["refined_worst"]
        out.append([f"`{name}`", result_column(catalogue, name), str(figures["states"]),
                    number(figures["abs"][2]), number(figures["rel"][2]),
                    figures["worst_abs"], number(worst[0]) if worst else "-"])
    return out


TEXT_COLUMNS = {"Export", "Result", "Largest abs error at", "Largest rel error at", "Reason",
                "Refined largest error at", "Largest refined error at", "Largest difference at",
                "Met"}


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


def code_summary(catalogue, summaries):
    parts = []
    seen = set()
    for name, figures in summaries.items():
        if figures["code_list"]:
            codes = ", ".join(f"{int(code)} x{count}"
                              for code, count in sorted(figures["code_list"].items()))
            parts.append(f"{name}: {codes}")
            seen.update(figures["code_list"])
    if not parts:
        return "none"
    meanings = "; ".join(f"{code} {catalogue.range_message(-1, code)}" for code in sorted(seen))
    return "; ".join(parts) + f" (codes: {meanings})"


def swap_summary(summaries):
    parts = [f"{name}: {figures['swapped'][0]} (largest error {number(figures['swapped'][1])})"
             for name, figures in summaries.items() if figures["swapped"][0]]
    return "; ".join(parts) if parts else "none"


def share(value):
    """A share or relative error in per cent: two decimals, none from 100 %
    on, two significant digits below 0.01 %."""
    if value >= 1:
        return f"{100 * value:,.0f} %"
    if 0 < value < 1e-4:
        return f"{100 * value:.2g} %"
    return f"{100 * value:.2f} %"


def promise_rows(promise):
    return [[f"`{t.name}`", str(t.answered), share(t.off_share), share(t.flagged_share),
             share(t.flagged_limit), share(t.caught_share), "yes" if t.kept else "NO"]
            for t in promise.values()]


PROMISE_HEADER = ["Export", "States", "Off by > 1 %", "Flagged", "Flagged limit",
                  "Off and flagged", "Kept"]


def worst_by_reason(catalogue, tallies, promise):
    """{export: {reason: (error, where)}} over every state the report
    compared: the whole domain, the critical window and the promise's."""
    worst = {name: {} for name in catalogue.names}
    sources = [tally.flagged for by_export in tallies.values() for tally in by_export.values()]
    names = [name for by_export in tallies.values() for name in by_export]
    sources += [tally.worst for tally in (promise or {}).values()]
    names += list(promise or {})
    for name, source in zip(names, sources):
        for reason, (error, where) in source.items():
            if error > worst[name].get(reason, (-1.0,))[0]:
                worst[name][reason] = (error, where)
    return worst


REASON_COLUMNS = [reason for _, reason in FLAG_REASONS] + [UNFLAGGED]


def reason_rows(catalogue, worst):
    out = []
    for name, by_reason in worst.items():
        quality = catalogue[name].symbol == "x"
        cells = []
        for reason in REASON_COLUMNS:
            error = by_reason.get(reason, (None,))[0]
            cells.append("-" if error is None else number(error) if quality else share(error))
        out.append([f"`{name}`", result_column(catalogue, name)] + cells)
    return out


def promise_section(promise, heading, table):
    states = next(iter(promise.values())).answered if promise else 0
    return [
        heading("Where the answers are flagged (RudidStateFlags)"),
        "",
        f"{PROMISE_STATES_TEXT} An answer is off when its relative error exceeds "
        f"{100 * OFF_LIMIT:g} % (temperatures: of the absolute temperature). The promise: at least "
        f"{100 * CAUGHT_SHARE:g} % of the answers that are off are flagged, and the share of all "
        f"answers flagged stays below {FLAGGED_FACTOR:g} times the share off plus "
        f"{100 * FLAGGED_ALLOWANCE:g} percentage points (the flagged limit). States answered with "
        f"an error code are not counted (about {states} answered per export).",
        "",
        table(PROMISE_HEADER, promise_rows(promise)),
        "",
    ]


def reason_section(catalogue, tallies, promise, heading, table):
    worst = worst_by_reason(catalogue, tallies, promise)
    places = []
    for reason in REASON_COLUMNS:
        candidates = [(by_reason[reason][0], name, by_reason[reason][1])
                      for name, by_reason in worst.items()
                      if reason in by_reason and catalogue[name].symbol != "x"]
        if candidates:
            error, name, where = max(candidates)
            places.append(f"{reason}: {share(error)} ({name} at {where})")
    return [
        heading("Largest error by reason flagged"),
        "",
        "The largest relative error (absolute for qualities) among the answers that "
        "RudidStateFlags flags for each reason, and among those it does not flag, over every "
        "state of this report" + (" including the random states above" if promise else "") +
        ". An answer flagged for several reasons counts under the first of them in the order "
        "of the columns, the most severe first.",
        "",
        table(["Export", "Result"] + [r.capitalize() for r in REASON_COLUMNS],
              reason_rows(catalogue, worst)),
        "",
        f"Largest per reason: {'; '.join(places) or 'none'}.",
        "",
    ]


TARGET_HEADER = ["Export", "Result", "States", "Table off > 1 %", "Refined off > 1 %",
                 "Refined off > 2 %", "Refined max", "Largest refined error at", "Met"]
REFINED_REASON_COLUMNS = [reason for _, reason in REFINED_REASONS] + [UNFLAGGED]
DIFFERENCE_HEADER = ["Export", "Result", "Table answers without flags", "Refined differs > 0.1 %",
                     "Of those, refined farther from IF97", "Largest difference",
                     "Largest difference at"]


def error_cell(catalogue, name, error):
    return number(error) if catalogue[name].symbol == "x" else share(error)


def target_rows(catalogue, targets):
    out = []
    for name, t in targets.items():
        worst = t.worst["refined"]
        out.append([f"`{name}`", result_column(catalogue, name), str(t.counted),
                    share(t.off_share["table"]), share(t.off_share["refined"]), str(t.beyond),
                    error_cell(catalogue, name, worst[0]), worst[1] or "-",
                    "yes" if t.met else "NO"])
    return out


def refined_reason_rows(catalogue, targets):
    out = []
    for name, t in targets.items():
        cells = [error_cell(catalogue, name, t.refined_reasons[r][0])
                 if r in t.refined_reasons else "-" for r in REFINED_REASON_COLUMNS]
        out.append([f"`{name}`", result_column(catalogue, name)] + cells)
    return out


def difference_rows(catalogue, targets):
    out = []
    for name, t in targets.items():
        differ = t.unflagged_differ / t.unflagged if t.unflagged else 0.0
        out.append([f"`{name}`", result_column(catalogue, name), str(t.unflagged), share(differ),
                    str(t.unflagged_worse), error_cell(catalogue, name, t.largest_difference[0]),
                    t.largest_difference[1] or "-"])
    return out


def target_section(catalogue, targets, heading, table):
    floors = ", ".join(f"{v:g} {catalogue.unit(k)}" for k, v in OFF_FLOORS.items() if v)
    return [
        heading("Refined answers against their targets (RudidEvaluateRefined)"),
        "",
        f"{TARGET_STATES_TEXT} About {next(iter(targets.values())).counted} states per export "
        f"outside the critical window and outside the states RudidRefinedFlags flags. An answer "
        f"is off when its relative error exceeds 1 % (2 %) and its absolute error exceeds the "
        f"floor of its quantity ({floors}; a quality when its absolute error exceeds "
        f"{QUALITY_OFF:g}). Targets: at most {100 * TARGET_OFF_SHARE:g} % of the states off by "
        f"more than 1 %, none by more than {100 * TARGET_WORST:g} %.",
        "",
        table(TARGET_HEADER, target_rows(catalogue, targets)),
        "",
        heading("Largest refined error by reason flagged (RudidRefinedFlags)"),
        "",
        "The same states, the critical window left out: the largest error of the refined "
        "answers under each reason of RudidRefinedFlags and among those it does not flag.",
        "",
        table(["Export", "Result"] + [r.capitalize() for r in REFINED_REASON_COLUMNS],
              refined_reason_rows(catalogue, targets)),
        "",
        heading("Where the refined answer differs from an unflagged table answer"),
        "",
        "The same states, among the table answers that RudidStateFlags does not flag: how "
        f"often the refined answer differs from the table answer by more than "
        f"{100 * DIFFERENCE_LIMIT:g} % (qualities: {DIFFERENCE_LIMIT:g}), and how often it is "
        "then the one farther from IF97.",
        "",
        table(DIFFERENCE_HEADER, difference_rows(catalogue, targets)),
        "",
    ]


def report(catalogue, tallies, library_path, count, elapsed, markdown, promise=None,
           targets=None):
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
        "IF97 n/a: IF97 cannot evaluate the state (skipped). Off > 1 %: the share of the "
        "answers whose relative error exceeds 1 % and whose absolute error exceeds the floor "
        "of the quantity (0.5 kJ/kg, 0.002 kJ/(kg K), 0.05 C; qualities: 0.01); the refined "
        "columns give the same figures for the refined answers (RudidEvaluateRefined).",
        "",
        heading("Whole domain (outside the critical window)"),
        "",
        table(HEADER, rows(catalogue, summaries["all"])),
        "",
        f"Error codes: {code_summary(catalogue, summaries['all'])}.",
        "",
        "States between IF97's and the library's saturation temperature, which the "
        f"library answers for the other phase: {swap_summary(summaries['all'])}.",
        "",
        heading(f"Near the critical point: {window}"),
        "",
        table(HEADER, rows(catalogue, summaries["critical"])),
        "",
        f"Error codes: {code_summary(catalogue, summaries['critical'])}.",
        "",
        "States between IF97's and the library's saturation temperature: "
        f"{swap_summary(summaries['critical'])}.",
        "",
        heading("At the table grid nodes (part of the whole-domain states)"),
        "",
        table(["Export", "Result", "States", "Max abs", "Max rel", "Largest abs error at",
               "Refined max"],
              node_rows(catalogue, summaries["nodes"])),
        "",
    ]
    if promise:
        out += promise_section(promise, heading, table)
    out += reason_section(catalogue, tallies, promise, heading, table)
    if targets:
        out += target_section(catalogue, targets, heading, table)
    out += [f"Run time: {elapsed:.1f} s."]
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
                        help="print Markdown tables (for docs/accuracy.md)")
    parser.add_argument("--promise-states", type=int, default=PROMISE_STATES, metavar="N",
                        help="random states for the check of the flags (default %(default)s, "
                             "0 to skip)")
    parser.add_argument("--target-states", type=int, default=TARGET_STATES, metavar="N",
                        help="random states for the check of the refined answers' targets "
                             "(default %(default)s, 0 to skip)")
    parser.add_argument("--maps", metavar="DIR",
                        help="also draw the SVG error maps into DIR")
    parser.add_argument("--derived-states", type=int, default=derived_accuracy.DEFAULT_STATES, metavar="N",
                        help="random states for the derived properties' columns (default %(default)s, 0 to skip)")
    args = parser.parse_args(argv)
    if args.promise_states < 0 or args.target_states < 0:
        parser.error("--promise-states and --target-states must not be negative")

    started = time.monotonic()
    try:
        path = find_library(args.library)
        library = Library(path)
        check_units(library)
    except (OSError, RuntimeError, CallFailed) as error:
        print(f"accuracy_report: {error}", file=sys.stderr)
        return 1
    families = build_samples(library.catalogue, args.states)
    tallies = compare(library, families)
    try:
        promise = None
        if args.promise_states:
            promise = check_promise(library, promise_states(args.promise_states))
        targets = None
        if args.target_states:
            targets = check_targets(library, target_states(args.target_states))
        if args.maps:
            for written in draw_maps(library, args.maps):
                print(f"accuracy_report: wrote {written}", file=sys.stderr)
    except CallFailed as failure:
        print(f"accuracy_report: {failure}", file=sys.stderr)
        return 1
    good = report(library.catalogue, tallies, path, args.states, time.monotonic() - started,
                  args.markdown, promise, targets)
    if args.derived_states:
        # The properties the library derives from a state: density, u, cp,
        # cv, w, viscosity, conductivity, Prandtl number, surface tension.
        derived = derived_accuracy.Library(path)
        derived_tallies = derived_accuracy.tally(derived, derived_accuracy.sample(args.derived_states))
        tension = derived_accuracy.tension_check(derived)
        print("\n%sDerived properties against python3-iapws (RudidSolveProperties, %d random states; targets: "
              "at most 0.2 %% off by more than 1 %%, none unflagged by more than 2 %%)\n"
              % ("### " if args.markdown else "", args.derived_states))
        print(derived_accuracy.report(derived_tallies, tension, args.markdown))
        good = good and derived_accuracy.meets(derived_tallies, tension)
        if args.maps:
            for written in derived_accuracy.draw_maps(derived, args.maps):
                print(f"accuracy_report: wrote {written}", file=sys.stderr)
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
