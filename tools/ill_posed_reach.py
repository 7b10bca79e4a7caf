#!/usr/bin/python3
"""How far the refined answers from a volume are off against IAPWS-IF97 in
cold water, and so how far RUDID_FLAG_ILL_POSED must reach.

Liquid water's isobar v(T) falls from 0 C to the density maximum near 4 C
and rises after it, and at the lowest pressures the saturated liquid's v
lies below the 0 C one: two states share a volume there, and elsewhere the
volume hardly moves with the temperature, so that the tables' small errors
in v move the answered temperature by degrees.

For liquid states on a grid of pressures (log-spaced over 0.01..1000 bar)
and temperatures (0 C up to the saturation temperature less 0.01 C, or
60 C) the refined AQPPVT, AQPPVH and AQPPVS are entered with IF97's volume
and compared with IF97's temperature, enthalpy and entropy, as
bench/accuracy_report.py compares: a temperature against the absolute
temperature, an enthalpy against max(|h|, 1 kJ/kg), an entropy against
max(|s|, 0.01 kJ/(kg K)); an answer is off when that relative error exceeds
1 % and its absolute error exceeds the floor (0.05 C, 0.5 kJ/kg,
0.002 kJ/(kg K)). For each pressure band it prints the highest answered
temperature of an answer that is off, the phase it was answered in, and
whether RudidRefinedFlags flagged every one that is off.

    /usr/bin/python3 tools/ill_posed_reach.py [--library build/libRUDID32.so]
"""

import argparse
import ctypes
import math
import os
import sys
import tempfile
import warnings
from pathlib import Path

from iapws import IAPWS97

REPO = Path(__file__).resolve().parent.parent
KELVIN = 273.15
ILL_POSED = 0x10
FLOORS = {"T": 0.05, "h": 0.5, "s": 0.002}


def load(path):
    """The library, started on the shipped tables in internal units."""
    scratch = Path(tempfile.mkdtemp(prefix="ill_posed_reach_"))
    ini = scratch / "ZAREVIRU.INI"
    ini.write_text(f"[STARTUP]\nDIR={REPO / 'data'}/\n")
    os.environ["ZAREVIRU_INI"] = str(ini)
    dll = ctypes.CDLL(str(path))
    dll.RudidEvaluateRefined.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_double),
                                         ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_double),
                                         ctypes.POINTER(ctypes.c_int)]
    dll.RudidRefinedFlags.argtypes = [ctypes.c_char_p, ctypes.c_double, ctypes.c_double]
    return dll


def refined(dll, name, rows):
    n = len(rows)
    first = (ctypes.c_double * n)(*[r[0] for r in rows])
    second = (ctypes.c_double * n)(*[r[1] for r in rows])
    result, failure = (ctypes.c_double * n)(), (ctypes.c_int * n)()
    if dll.RudidEvaluateRefined(name.encode(), n, first, second, result, failure):
        sys.exit(f"{name}: rows failed")
    return list(result)


def relative(symbol, got, want):
    error = abs(got - want)
    if error <= FLOORS[symbol]:
        return 0.0
    scale = want + KELVIN if symbol == "T" else max(abs(want), 1.0 if symbol == "h" else 0.01)
    return error / scale


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--library", default=str(REPO / "build" / "libRUDID32.so"))
    parser.add_argument("--pressures", type=int, default=300)
    parser.add_argument("--step", type=float, default=0.02, help="temperature step, C")
    args = parser.parse_args()
    dll = load(args.library)

    # Bands of pressure (bar, upper ends) over which the reach is told.
    bands = [0.0107, 0.015, 0.02, 0.025, 0.03, 0.04, 0.1, 1, 10, 20, 30, 50, 100, 150, 200, 221.2, 1000]
    worst = {band: [0, -1.0, -1.0, 0.0, 0, 0] for band in bands}
    for i in range(args.pressures):
        p = 0.01 * (1000 / 0.01) ** (i / (args.pressures - 1))
        ts = (IAPWS97(P=p / 10, x=0).T - KELVIN) if p < 220.64 else 1000
        states = []
        t = 0.0
        while t < min(ts - 0.01, 60):
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                s = IAPWS97(P=p / 10, T=t + KELVIN)
            states.append((t, s.v, s.h, s.s))
            t += args.step
        rows = [(p, v) for _, v, _, _ in states]
        answers = {name: refined(dll, name, rows) for name in ("AQPPVT", "AQPPVH", "AQPPVS")}
        v0 = refined(dll, "AQPPTV", [(p, 0.0)])[0]  # the refined 0 C volume
        entry = worst[next(b for b in bands if p <= b)]
        for k, (t, v, h, s) in enumerate(states):
            tt = answers["AQPPVT"][k]
            if tt <= -1000:
                continue  # refused
            entry[4] += 1
            temperature = relative("T", tt, t)
            error = max(temperature, relative("h", answers["AQPPVH"][k], h),
                        relative("s", answers["AQPPVS"][k], s))
            if error <= 0.01:
                continue
            # How far the given volume lies above the 0 C one.
            above = v / v0 - 1
            entry[0] += 1
            entry[1] = max(entry[1], above)
            if temperature > 0.01:
                entry[2] = max(entry[2], above)
            entry[3] = max(entry[3], error)
            entry[5] += 0 if dll.RudidRefinedFlags(b"AQPPVT", p, v) & ILL_POSED else 1
    print("p up to (bar) | answered | off > 1 % | v / v(0 C) - 1 of those: largest | of T off | "
          "largest error | off unflagged")
    for band in bands:
        off, above, above_t, error, answered, unflagged = worst[band]
        print(f"{band:>13g} | {answered:>8} | {off:>9} | {above:>33.3g} | {above_t:>8.3g} | "
              f"{100 * error:>11.4g} % | {unflagged}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
