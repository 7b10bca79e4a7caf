"""A property sweep over a distributed cluster: the specific enthalpy at 10
million states, pressures log-spaced from 0.01 to 1000 bar (2000 isobars)
against temperatures from 0 to 800 C (5000 isotherms), evaluated block by
block on the worker processes of a local dask cluster and written by the
workers as numpy stacks (read back with dask.array.from_npy_stack).

    PYTHONPATH=python /usr/bin/python3 examples/property_sweep_dask.py --output sweep --workers 1 2 --in-process

With several worker counts it runs the sweep once for each, prints the time
and the speed-up over the first, and checks that the answers are the same
bit for bit. Each worker process loads the library itself: through
RUDID32_LIBRARY or the package's usual lookup, with the tables named by
ZAREVIRU_INI (handed to the workers here) or by the INI beside the library.
The limits assume the shipped default.cfg (bar and C).
"""

import argparse
import os
import shutil
import time

import dask
import dask.array
import distributed
import numpy

import rudid32
import rudid32.dask


def sweep_axes(isobars, isotherms):
    pressures = numpy.logspace(-2, 3, isobars)
    temperatures = numpy.linspace(0.0, 800.0, isotherms)
    return pressures, temperatures


def run_sweep(workers, pressures, temperatures, chunk, output):
    """Evaluates and writes the sweep on a cluster of `workers` processes;
    returns (seconds to evaluate, seconds to write)."""
    environment = {name: os.environ[name] for name in ("RUDID32_LIBRARY", "ZAREVIRU_INI") if name in os.environ}
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None, env=environment) as cluster, \
            distributed.Client(cluster) as client:
        client.wait_for_workers(workers)
        # Isobars down the rows, isotherms across: blocks of `chunk` isobars.
        p = dask.array.from_array(pressures[:, None], chunks=(chunk, 1))
        T = dask.array.from_array(temperatures[None, :], chunks=(1, temperatures.size))
        values, codes = rudid32.dask.evaluate("AQPPTH", p, T)

        start = time.perf_counter()
        values, codes = client.persist([values, codes])
        distributed.wait([values, codes])
        evaluated = time.perf_counter() - start

        start = time.perf_counter()
        shutil.rmtree(output, ignore_errors=True)
        os.makedirs(output)
        numpy.save(os.path.join(output, "pressure.npy"), pressures)
        numpy.save(os.path.join(output, "temperature.npy"), temperatures)
        dask.array.to_npy_stack(os.path.join(output, "enthalpy"), values)
        dask.array.to_npy_stack(os.path.join(output, "code"), codes)
        written = time.perf_counter() - start
    return evaluated, written


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default="sweep", help="directory of the results (one per worker count)")
    parser.add_argument("--workers", type=int, nargs="+", default=[2], help="worker processes, one run each")
    parser.add_argument("--isobars", type=int, default=2000)
    parser.add_argument("--isotherms", type=int, default=5000)
    parser.add_argument("--chunk", type=int, default=100, help="isobars per block")
    parser.add_argument("--in-process", action="store_true",
                        help="also time rudid32.evaluate on one thread of this process, without dask")
    options = parser.parse_args()

    pressures, temperatures = sweep_axes(options.isobars, options.isotherms)
    states = pressures.size * temperatures.size
    print("%d states on a local cluster; library %s, units %s"
          % (states, rudid32.library_path(), {q: u for q, u in rudid32.units().items()
                                               if q in ("pressure", "temperature", "specific enthalpy")}))
    if options.in_process:
        start = time.perf_counter()
        rudid32.evaluate("AQPPTH", pressures[:, None], temperatures[None, :], threads=1)
        seconds = time.perf_counter() - start
        print("rudid32.evaluate in this process, one thread: %.2f s (%.0f ns per state)"
              % (seconds, seconds / states * 1e9))
    first = None
    outputs = []
    for workers in options.workers:
        output = os.path.join(options.output, "workers-%d" % workers)
        evaluated, written = run_sweep(workers, pressures, temperatures, options.chunk, output)
        first = first or evaluated
        outputs.append(output)
        print("%d worker process%s: evaluated in %.2f s (%.0f ns per state, speed-up %.2f), written in %.2f s to %s"
              % (workers, "" if workers == 1 else "es", evaluated, evaluated / states * 1e9, first / evaluated,
                 written, output))

    reference = [dask.array.from_npy_stack(os.path.join(outputs[0], part)).compute() for part in ("enthalpy", "code")]
    for output in outputs[1:]:
        answer = [dask.array.from_npy_stack(os.path.join(output, part)).compute() for part in ("enthalpy", "code")]
        same = numpy.array_equal(answer[0].view(numpy.int64), reference[0].view(numpy.int64)) and \
            numpy.array_equal(answer[1], reference[1])
        print("%s identical to %s: %s" % (output, outputs[0], same))
    answered = reference[1] == 0
    print("answered %d of %d states; enthalpy from %.6g to %.6g %s"
          % (answered.sum(), states, numpy.nanmin(reference[0]), numpy.nanmax(reference[0]),
             rudid32.units()["specific enthalpy"]))


if __name__ == "__main__":
    main()
