"""The whole state from (p, T) and from (h, s): rudid32.states() against
the library's RudidSolveStates called directly (the cost of the Python
layer) and against python3-iapws state by state, on the same states.

    /usr/bin/python3 bench/states_vs_iapws.py [n]

States as bench/bench_exports.cpp makes them for AQPPTH: pressure
log-uniform over 0.01..1000 bar, temperature uniform over 0..800 C. Times
are CPU seconds per state (the machine may be shared)."""

import os
import sys
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import rudid32  # noqa: E402
from rudid32 import _library  # noqa: E402

def cpu_per_state(call, n, repeat=5):
    best = float("inf")
    for _ in range(repeat):
        start = time.process_time()
        call()
        best = min(best, time.process_time() - start)
    return best / n

def direct(given, first, second):
    """RudidSolveStates itself, with the arrays ready."""
    library, n = _library.library(), first.size
    states, codes = numpy.empty((n, 6)), numpy.empty((n, 6), dtype=numpy.intc)
    phase, flags = numpy.empty(n, dtype=numpy.intc), numpy.empty((n, 6), dtype=numpy.intc)
    arrays = (first, second, states, codes, phase, flags)
    pointers = [a.ctypes.data for a in arrays]
    # The call keeps the arrays alive: the library writes into them.
    return lambda: library.RudidSolveStates(None, given.encode(), 8, n, *pointers) + 0 * len(arrays)

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    rng = numpy.random.default_rng(1)
    p, T = 10 ** rng.uniform(-2, 3, n), rng.uniform(0, 800, n)
    by_pt = rudid32.states(p=p, T=T)
    ok = by_pt["h"].notna().to_numpy()
    h, s = by_pt["h"].to_numpy()[ok], by_pt["s"].to_numpy()[ok]
    from iapws import IAPWS97
    few = slice(0, min(300, int(ok.sum())))
    rows = [
        ("(p, T)", direct("pT", p, T), lambda: rudid32.states(p=p, T=T), n,
         lambda: [IAPWS97(P=a / 10, T=b + 273.15) for a, b in zip(p[few], T[few])]),
        ("(h, s)", direct("hs", h, s), lambda: rudid32.states(h=h, s=s), h.size,
         lambda: [IAPWS97(h=a, s=b) for a, b in zip(h[few], s[few])]),
    ]
    print("%-8s %14s %16s %8s %14s" % ("given", "C call [us]", "states() [us]", "ratio", "iapws [us]"))
    for name, c_call, python_call, count, iapws in rows:
        c, python = cpu_per_state(c_call, count), cpu_per_state(python_call, count)
        reference = cpu_per_state(iapws, len(range(*few.indices(count))), repeat=1)
        print("%-8s %14.2f %16.2f %8.2f %14.1f" % (name, c * 1e6, python * 1e6, python / c, reference * 1e6))


if __name__ == "__main__":
    main()
