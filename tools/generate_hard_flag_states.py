#!/usr/bin/python3
"""Writes the stored set of hard states for the state flags: states on both
sides of the boundaries where a flag appears or disappears, with the flags
that a release of the library gives them (tests/api/flag_bounds_test.cpp
holds the batch's bounds to them).

    /usr/bin/python3 tools/generate_hard_flag_states.py LIBRARY [--data DIR] [--output FILE]

LIBRARY is the libRUDID32.so of the release to record; DIR the shipped
tables (default data/); FILE the set (default
tests/corpus/hard_flag_states.txt). The library is loaded with the shipped
tables and no default.cfg, as the test configures it. For each function,
seeded random states (across the range, crowded next to the saturation line
and around the critical point; inverse keys are the tables' own values at
such states) are paired with a neighbour; where the two have different
flags, the segment between them is halved until the boundary is pinned to
a few ulps, and the states on either side are written with their flags.
The output is deterministic.
"""

import argparse
import ctypes
import math
import os
import random
import shutil
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
TABLES = ("zarude.dat", "vevuzu.dat", "didizar.dat")
FUNCTIONS = ("AQPPT", "AQPPQH", "AQPPQV", "AQPPTH", "AQPPTS", "AQPPTV", "AQPPHT", "AQPPHS", "AQPPHQ",
             "AQPPST", "AQPPVT", "AQPPVH")
KEY_OF = {"AQPPH": "AQPPTH", "AQPPS": "AQPPTS", "AQPPV": "AQPPTV"}
BOUNDARIES_PER_FUNCTION = 80


def load(library, data):
    work = Path(tempfile.mkdtemp())
    for table in TABLES:
        shutil.copy(Path(data) / table, work / table)
    ini = work / "ZAREVIRU.INI"
    ini.write_text("[STARTUP]\nDIR=%s\n" % work)
    copy = work / "libRUDID32.so"
    shutil.copy(library, copy)
    os.environ["ZAREVIRU_INI"] = str(ini)
    lib = ctypes.CDLL(str(copy), mode=os.RTLD_LOCAL)
    lib.RudidStateFlags.restype = ctypes.c_int
    lib.RudidStateFlags.argtypes = (ctypes.c_char_p, ctypes.c_double, ctypes.c_double)
    lib.RudidToConfiguredUnit.restype = ctypes.c_double
    lib.RudidToConfiguredUnit.argtypes = (ctypes.c_int, ctypes.c_double)
    for name in FUNCTIONS + ("AQPPTS", "AQPPTV"):
        getattr(lib, name).restype = ctypes.POINTER(ctypes.c_double)
        getattr(lib, name).argtypes = (ctypes.c_double,) if name == "AQPPT" else (ctypes.c_double, ctypes.c_double)
    return lib


def value(pointer):
    return pointer[0] if pointer else None


def draw(rng, lib, name):
    """A state of the function's arguments, in the configured units."""
    pressure, temperature = 3, 6
    saturation = name in ("AQPPT", "AQPPQH", "AQPPQV")
    kind = rng.randrange(5)
    p = math.exp(math.log(0.01) + rng.random() * math.log((221.2 if saturation else 1000) / 0.01))
    t = rng.random() * 800
    if kind in (1, 2):  # next to the saturation line
        p = math.exp(math.log(0.01) + rng.random() * math.log(221.2 / 0.01))
        ts = value(lib.AQPPT(lib.RudidToConfiguredUnit(pressure, p)))
        t0, t1 = lib.RudidToConfiguredUnit(temperature, 0), lib.RudidToConfiguredUnit(temperature, 1)
        t = (ts - t0) / (t1 - t0) + rng.choice((-1, 1)) * math.exp(rng.uniform(math.log(1e-3), math.log(8)))
    elif kind == 3:  # around the critical point
        p, t = rng.uniform(180, 280) if not saturation else rng.uniform(180, 221.2), rng.uniform(340, 420)
    t = max(t, 0.0)
    a = lib.RudidToConfiguredUnit(pressure, p)
    if name in ("AQPPT",):
        return a, 0.0
    if name.startswith("AQPPQ"):
        return a, rng.random()
    tc = lib.RudidToConfiguredUnit(temperature, t)
    key = KEY_OF.get(name[:5])
    if key is None:
        return a, tc
    k = value(getattr(lib, key)(a, tc))
    return (a, k) if k is not None else None


def flags(lib, name, a, b):
    return lib.RudidStateFlags(name.encode(), a, b)


def boundaries(lib, name, rng):
    states = []
    tries = 0
    while len(states) < 2 * BOUNDARIES_PER_FUNCTION and tries < 200000:
        tries += 1
        first = draw(rng, lib, name)
        if first is None:
            continue
        a0, b0 = first
        scale = rng.choice((1e-4, 1e-3, 1e-2))
        a1 = a0 * (1 + rng.uniform(-scale, scale))
        b1 = b0 + rng.uniform(-scale, scale) * (abs(b0) + 1) if name != "AQPPT" else 0.0
        if name.startswith("AQPPQ"):
            b1 = min(1.0, max(0.0, b1))
        f0, f1 = flags(lib, name, a0, b0), flags(lib, name, a1, b1)
        if f0 == f1:
            continue
        low, high = 0.0, 1.0
        for _ in range(52):
            middle = (low + high) / 2
            if flags(lib, name, a0 + middle * (a1 - a0), b0 + middle * (b1 - b0)) == f0:
                low = middle
            else:
                high = middle
        for m in (low, high):
            a, b = a0 + m * (a1 - a0), b0 + m * (b1 - b0)
            states.append((a, b, flags(lib, name, a, b)))
    return states


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("library")
    parser.add_argument("--data", default=str(ROOT / "data"))
    parser.add_argument("--output", default=str(ROOT / "tests" / "corpus" / "hard_flag_states.txt"))
    args = parser.parse_args()
    lib = load(args.library, args.data)
    lines = ["# States on both sides of the boundaries of the state flags, with the flags",
             "# that a release gives them; written by tools/generate_hard_flag_states.py and",
             "# checked by tests/api/flag_bounds_test.cpp. Shipped tables, no default.cfg.",
             "# FUNCTION ARG1 ARG2 FLAGS (arguments as hexadecimal doubles)"]
    for number, name in enumerate(FUNCTIONS):
        rng = random.Random(1000 + number)
        for a, b, f in boundaries(lib, name, rng):
            lines.append("%s %s %s %d" % (name, float(a).hex(), float(b).hex(), f))
    Path(args.output).write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
