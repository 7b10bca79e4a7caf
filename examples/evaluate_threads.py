"""How much faster rudid32.evaluate runs over 1 million rows on several
threads than on one, and that the answers are the same.

    PYTHONPATH=python /usr/bin/python3 examples/evaluate_threads.py [--rows N] [--threads 1 2 ...]

Random states as a benchmark of the library's batch would draw them:
pressures log-uniform over 0.01 to 1000 bar, temperatures over 0 to 800 C,
and for the inverse function the enthalpies of those states. Prints the best
of five runs for each number of threads.
"""

import argparse
import time

import numpy

import rudid32


def best_time(function, repeats=5):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--threads", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--seed", type=int, default=12)
    options = parser.parse_args()

    generator = numpy.random.default_rng(options.seed)
    p = 10.0 ** generator.uniform(-2, 3, options.rows)
    T = generator.uniform(0, 800, options.rows)
    h, _ = rudid32.evaluate("AQPPTH", p, T)
    cases = {"AQPPTH": (p, T), "AQPPHT": (p, numpy.where(numpy.isnan(h), 1000.0, h))}

    print("%d rows, best of 5, library %s" % (options.rows, rudid32.library_path()))
    for name, (a, b) in cases.items():
        reference = rudid32.evaluate(name, a, b, threads=1)
        single = None
        for threads in options.threads:
            answer = rudid32.evaluate(name, a, b, threads=threads)
            same = (numpy.array_equal(answer[0].view(numpy.int64), reference[0].view(numpy.int64))
                    and numpy.array_equal(answer[1], reference[1]))
            seconds = best_time(lambda: rudid32.evaluate(name, a, b, threads=threads))
            single = single or seconds
            print("%s threads=%d: %.3f s (%.0f ns/row), speed-up %.2f, identical to one thread: %s"
                  % (name, threads, seconds, seconds / options.rows * 1e9, single / seconds, same))


if __name__ == "__main__":
    main()
