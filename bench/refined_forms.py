#!/usr/bin/python3
"""Which interpolation of the three table files comes closest to IAPWS-IF97?

Measures candidate forms for the refined answers, each against IF97
(python3-iapws) at random states, and prints one table per question:

    /usr/bin/python3 bench/refined_forms.py [--data DIR] [--states N]

  1. saturation line by pressure: the saturation temperature and the
     saturated values between two records of zarude.dat;
  2. saturation line by temperature: the pressure and the saturated values
     between two records of vevuzu.dat;
  3. across isobars of didizar.dat, at a table temperature: v, h, s of one
     phase at a pressure between two isobars;
  4. along an isobar of didizar.dat, at a table pressure: v, h, s at a
     temperature between the columns, with the saturated state of the
     isobar as a node of its phase.

An error counts as "off" when it exceeds 1 % of the value and the floor of
its quantity (0.5 kJ/kg, 0.002 kJ/(kg K), 0.05 C; temperatures relative to
the absolute temperature). Columns: share off, the 99.8th percentile and the
largest relative error. Nothing here is used by the library: it justifies
the forms that src/tables/refined_*.cpp implement.
"""

import argparse
import math
import random
import struct
import warnings
from pathlib import Path

from iapws import IAPWS97
from iapws.iapws97 import _TSat_P, _PSat_T

REPO = Path(__file__).resolve().parent.parent
KELVIN = 273.15
R = 0.461526  # kJ/(kg K), IF97's specific gas constant
CRITICAL_P = 220.64
CRITICAL_T = 373.946
OFF = 0.01
FLOORS = {"T": 0.05, "P": 0.0, "h": 0.5, "s": 0.002, "v": 0.0}

SATURATION_SEGMENTS = [(19, 0, 0.005, 0.005), (20, 19, 0.1, 0.01), (5, 39, 0.3, 0.02),
                       (12, 44, 0.4, 0.05), (40, 56, 1.0, 0.1), (25, 96, 5.0, 0.2),
                       (40, 121, 10.0, 0.5), (70, 161, 30.0, 1.0), (60, 231, 100.0, 2.0)]
SINGLE_SEGMENTS = [(10, 0, 0.0, 0.01), (20, 10, 0.1, 0.02), (10, 30, 0.5, 0.05),
                   (20, 40, 1.0, 0.1), (10, 60, 3.0, 0.2), (30, 70, 5.0, 0.5),
                   (30, 100, 20.0, 1.0), (25, 130, 50.0, 2.0), (20, 155, 100.0, 5.0),
                   (30, 175, 200.0, 10.0), (15, 205, 500.0, 20.0), (4, 220, 800.0, 50.0)]


def grid(segments):
    return [start + (k - k0) * step for n, k0, start, step in segments
            for k in range(k0 + 1, k0 + n + 1)]


SAT_P = grid(SATURATION_SEGMENTS) + [221.2]
SAT_T = [float(t) for t in range(375)] + [374.15]
ISOBARS = grid(SINGLE_SEGMENTS)
COLUMNS = [10.0 * j for j in range(81)]


class Tables:
    def __init__(self, directory):
        d = Path(directory)
        raw = (d / "zarude.dat").read_bytes()
        self.by_p = [struct.unpack_from("<7f", raw, 28 * i) for i in range(292)]
        raw = (d / "vevuzu.dat").read_bytes()
        self.by_t = [struct.unpack_from("<7f", raw, 28 * (i + 1)) for i in range(376)]
        raw = (d / "didizar.dat").read_bytes()
        self.single = [[struct.unpack_from("<3f", raw, 12 * (81 * i + j)) for j in range(81)]
                       for i in range(224)]


def if97(**kw):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return IAPWS97(**kw)


def lagrange(xs, ys, x):
    total = 0.0
    for i, (xi, yi) in enumerate(zip(xs, ys)):
        w = 1.0
        for j, xj in enumerate(xs):
            if j != i:
                w *= (x - xj) / (xi - xj)
        total += w * yi
    return total


def bracket(points, x):
    """i with points[i] <= x < points[i + 1] (the last interval at the top)."""
    for i in range(1, len(points)):
        if x < points[i]:
            return i - 1
    return len(points) - 2


def stencil(count, i, n):
    """n consecutive indices of 0..count-1 around the interval (i, i+1)."""
    n = min(n, count)
    first = i - (n - 1) // 2 if n > 2 else i
    first = max(0, min(first, count - n))
    return list(range(first, first + n))


def error(quantity, got, want):
    absolute = abs(got - want)
    if quantity == "T":
        rel = absolute / (want + KELVIN)
    else:
        rel = absolute / max(abs(want), 1e-30)
    off = rel > OFF and absolute > FLOORS[quantity]
    return rel, off


class Score:
    def __init__(self):
        self.rel = []
        self.off = 0
        self.worst = (-1.0, "")

    def add(self, quantity, got, want, where=""):
        rel, off = error(quantity, got, want)
        self.rel.append(rel)
        self.off += off
        if rel > self.worst[0]:
            self.worst = (rel, where)

    def row(self):
        r = sorted(self.rel)
        n = len(r)
        return (f"{100 * self.off / n:6.2f} %  p99.8 {100 * r[int(0.998 * (n - 1))]:9.4f} %"
                f"  max {100 * r[-1]:9.4f} % at {self.worst[1]}")


def report(title, scores):
    print(f"\n{title}")
    for name, score in scores.items():
        print(f"  {name:48s} {score.row()}")


# --------------------------------------------------------------------------
# 1. The saturation line by pressure

SAT_FIELDS = ("T", "v", "v", "h", "h", "s", "s")
SAT_NAMES = ("Ts", "vf", "vg", "hf", "hg", "sf", "sg")


def sat_transform(field, y, inverse=False):
    if field == 0:   # 1/T in kelvin
        return 1.0 / y - KELVIN if inverse else 1.0 / (y + KELVIN)
    if field == 2:   # vapour volume: logarithm
        return math.exp(y) if inverse else math.log(y)
    return y


def saturation_by_pressure(tables, p, form, field):
    i = bracket(SAT_P, p)
    if form == "linear in p":
        a, b = tables.by_p[i][field], tables.by_p[i + 1][field]
        return a + (b - a) * (p - SAT_P[i]) / (SAT_P[i + 1] - SAT_P[i])
    n = 2 if form == "shape, linear in ln p" else 4
    idx = stencil(len(SAT_P), i, n)
    xs = [math.log(SAT_P[k]) for k in idx]
    ys = [sat_transform(field, tables.by_p[k][field]) for k in idx]
    return sat_transform(field, lagrange(xs, ys, math.log(p)), True)


def measure_saturation_by_pressure(tables, rng, count):
    forms = ("linear in p", "shape, linear in ln p", "shape, cubic in ln p")
    scores = {f"{SAT_NAMES[f]}: {form}": Score() for f in range(7) for form in forms}
    for _ in range(count):
        p = 10 ** rng.uniform(-2, math.log10(CRITICAL_P - 2))
        liquid, vapour = if97(P=p / 10, x=0), if97(P=p / 10, x=1)
        want = (liquid.T - KELVIN, liquid.v, vapour.v, liquid.h, vapour.h, liquid.s, vapour.s)
        for f in range(7):
            for form in forms:
                scores[f"{SAT_NAMES[f]}: {form}"].add(SAT_FIELDS[f], saturation_by_pressure(
                    tables, p, form, f), want[f], f"{p:.5g} bar")
    report("1. Saturation line by pressure (0.01 bar .. 2 bar below the critical point)", scores)


# --------------------------------------------------------------------------
# 2. The saturation line by temperature

def saturation_by_temperature(tables, t, form, field):
    i = bracket(SAT_T, t)
    if form == "linear in T":
        a, b = tables.by_t[i][field], tables.by_t[i + 1][field]
        return a + (b - a) * (t - SAT_T[i]) / (SAT_T[i + 1] - SAT_T[i])
    n = 2 if form == "shape, linear in 1/T" else 4
    idx = stencil(len(SAT_T), i, n)
    xs = [1.0 / (SAT_T[k] + KELVIN) for k in idx]
    shaped = field in (0, 2)
    ys = [math.log(tables.by_t[k][field]) if shaped else tables.by_t[k][field] for k in idx]
    y = lagrange(xs, ys, 1.0 / (t + KELVIN))
    return math.exp(y) if shaped else y


def measure_saturation_by_temperature(tables, rng, count):
    forms = ("linear in T", "shape, linear in 1/T", "shape, cubic in 1/T")
    names = ("Ps",) + SAT_NAMES[1:]
    quantities = ("P",) + SAT_FIELDS[1:]
    scores = {f"{names[f]}: {form}": Score() for f in range(7) for form in forms}
    for _ in range(count):
        t = rng.uniform(0.01, CRITICAL_T - 2)
        liquid, vapour = if97(T=t + KELVIN, x=0), if97(T=t + KELVIN, x=1)
        want = (liquid.P * 10, liquid.v, vapour.v, liquid.h, vapour.h, liquid.s, vapour.s)
        for f in range(7):
            for form in forms:
                scores[f"{names[f]}: {form}"].add(quantities[f], saturation_by_temperature(
                    tables, t, form, f), want[f], f"{t:.5g} C")
    report("2. Saturation line by temperature (0.01 C .. 2 C below the critical point)", scores)


# --------------------------------------------------------------------------
# 3. Across isobars

def shaped(column, phase, p, y, inverse=False):
    """The vapour forms: p*v and s + R ln p."""
    if phase != "vapour":
        return y
    if column == 0:
        return y / p if inverse else y * p
    if column == 2:
        return y - R * math.log(p) if inverse else y + R * math.log(p)
    return y


def across_isobars(tables, p, j, column, phase, form):
    i = bracket(ISOBARS, p)
    if form == "linear in p":
        idx = [i, i + 1]
    else:
        idx = stencil(len(ISOBARS), i, 3 if "quadratic" in form else 2)
    use_shape = form.startswith("shape")
    xs = [ISOBARS[k] for k in idx]
    ys = [tables.single[k][j][column] for k in idx]
    if use_shape:
        ys = [shaped(column, phase, x, y) for x, y in zip(xs, ys)]
    y = lagrange(xs, ys, p)
    return shaped(column, phase, p, y, True) if use_shape else y


def phase_at(p, t):
    if p >= CRITICAL_P:
        return "supercritical"
    return "liquid" if t < _TSat_P(p / 10) - KELVIN else "vapour"


def measure_across_isobars(tables, rng, count):
    forms = ("linear in p", "shape, linear in p", "shape, quadratic in p")
    scores = {}
    for _ in range(count):
        p = 10 ** rng.uniform(-2, 3)
        i = bracket(ISOBARS, p)
        j = rng.randrange(81)
        t = COLUMNS[j]
        phases = {phase_at(ISOBARS[k], t) for k in (max(i - 1, 0), i, i + 1, min(i + 2, 223))}
        if len(phases) > 1:
            continue
        phase = phases.pop()
        state = if97(P=p / 10, T=t + KELVIN)
        for column, q in enumerate("vhs"):
            want = getattr(state, q)
            for form in forms:
                key = f"{q} {phase}: {form}"
                scores.setdefault(key, Score()).add(
                    q, across_isobars(tables, p, j, column, phase, form), want, f"{p:.5g} bar {t:.5g} C")
    report("3. Across isobars at a table temperature (one phase on the isobars used)",
           dict(sorted(scores.items())))


# --------------------------------------------------------------------------
# 4. Along an isobar

def along_isobar(tables, i, t, column, degree):
    """The isobar's phase nodes plus the saturated state, degree 1..3."""
    p = ISOBARS[i]
    nodes = []
    if p <= 221.2:
        ts = tables_saturation(tables, p)
        phase = "liquid" if t < ts[0] else "vapour"
        for j, tj in enumerate(COLUMNS):
            if (tj < ts[0]) == (phase == "liquid") and tj != ts[0]:
                nodes.append((tj, tables.single[i][j][column]))
        sat = ts[{0: 1, 1: 3, 2: 5}[column] + (phase == "vapour")]
        nodes.append((ts[0], sat))
        nodes.sort()
    else:
        nodes = [(tj, tables.single[i][j][column]) for j, tj in enumerate(COLUMNS)]
    xs = [x for x, _ in nodes]
    k = bracket(xs, t)
    idx = stencil(len(xs), k, degree + 1)
    return lagrange([xs[m] for m in idx], [nodes[m][1] for m in idx], t)


def tables_saturation(tables, p):
    """The saturated state at p, refined (cubic, shaped)."""
    return [saturation_by_pressure(tables, p, "shape, cubic in ln p", f) for f in range(7)]


def measure_along_isobar(tables, rng, count):
    scores = {}
    for _ in range(count):
        i = rng.randrange(223)
        p = ISOBARS[i]
        t = rng.uniform(0, 800)
        if rng.random() < 0.3 and p < CRITICAL_P:   # next to the saturation line
            ts = _TSat_P(p / 10) - KELVIN
            t = ts + rng.choice([-1, 1]) * rng.choice([0.01, 0.3, 2, 6])
        if abs(p - CRITICAL_P) < 2 and abs(t - CRITICAL_T) < 2:
            continue
        phase = phase_at(p, t)
        if p <= 221.2 and p > CRITICAL_P:
            continue
        state = if97(P=p / 10, T=t + KELVIN)
        for column, q in enumerate("vhs"):
            want = getattr(state, q)
            for degree in (1, 2, 3):
                scores.setdefault(f"{q} {phase}: degree {degree}", Score()).add(
                    q, along_isobar(tables, i, t, column, degree), want, f"{p:.5g} bar {t:.5g} C")
    report("4. Along an isobar at a table pressure (phase nodes and the saturated state)",
           dict(sorted(scores.items())))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default=REPO / "data")
    parser.add_argument("--states", type=int, default=2000)
    args = parser.parse_args()
    tables = Tables(args.data)
    rng = random.Random(19)
    measure_saturation_by_pressure(tables, rng, args.states)
    measure_saturation_by_temperature(tables, rng, args.states)
    measure_across_isobars(tables, rng, args.states)
    measure_along_isobar(tables, rng, args.states)


if __name__ == "__main__":
    main()
