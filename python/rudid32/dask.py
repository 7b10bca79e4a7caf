"""Property functions over dask arrays and dask dataframe columns,
evaluated block by block where the blocks are: on the workers of a
``distributed`` cluster, or in the local scheduler's threads.

    import dask.array as da
    import rudid32.dask

    p = da.full(10_000_000, 10.0, chunks=1_000_000)
    T = da.linspace(0, 800, 10_000_000, chunks=1_000_000)
    values, codes = rudid32.dask.evaluate("AQPPTH", p, T)
    values, codes = dask.compute(values, codes)   # compute both at once

Every worker loads the library itself, with ``import rudid32`` and the
usual lookup (``RUDID32_LIBRARY``, the library installed beside the
package, ..., the system's library path). The graph carries the settings of
the client's context (its data directory, its units as text, its kind of
answer; see ``rudid32.use_units``), and every worker opens a context with
the same settings, once, and answers in it: the workers answer in the
client's units from the tables of the same directory, whatever their own
configuration. So every worker machine needs the package, the library and
the tables at that path. Where the client has chosen no units and reads
the tables of its process's configuration, the graph says so, and each
worker uses its own process's configuration: the data directory named by
its ``ZAREVIRU.INI`` (the variable ``ZAREVIRU_INI`` in its environment,
e.g. ``LocalCluster(env={"ZAREVIRU_INI": path})``).
"""

import operator

import dask.array
import numpy


def _block(name, threads, refined, flags, settings, a, b=None):
    from rudid32 import _evaluate, _library  # on the worker: loads the library there

    return _evaluate.evaluate_arrays(name, a, b, threads=threads, refined=refined, flags=flags,
                                     context=_library.context_for(settings))


def _checked_name(name, b):
    """The library's name of the function, checked where the graph is
    built: a wrong name fails here, not in a worker at compute time."""
    import rudid32
    if not isinstance(name, str):
        raise TypeError("name must be the name of a property function")
    if rudid32._evaluate.derived_request(name):  # "cp_pT": a derived property of a pair
        if b is None:
            raise TypeError("%s takes 2 arguments" % name)
        return name
    function = rudid32._catalogue.function(name)
    if (b is None) != (function.arity == 1):
        raise TypeError("%s takes %d argument%s" % (function.name, function.arity, "" if function.arity == 1 else "s"))
    return function.name


def _as_dask(value):
    if isinstance(value, (dask.array.Array, numpy.ndarray, list, tuple)):
        return dask.array.asarray(value)
    return value  # a number, the same for every row


def evaluate(name, a, b=None, *, threads=1, refined=True, flags=False):
    """The property function ``name`` ("AQPPTH") over dask arrays.

    ``a`` and ``b`` are dask arrays (numpy arrays and numbers are taken as
    well), broadcast against each other as in ``rudid32.evaluate``, whose
    chunks are aligned. Returns two dask arrays of the broadcast shape and
    chunks: the values (float64, NaN where a row has no property) and the
    codes (int32: 0 answered, the negative error code, the positive failure
    code). Compute them together (``dask.compute(values, codes)``), else
    every block is evaluated twice.

    ``threads`` is the number of threads a block is split over on its
    worker; the default, 1, leaves parallelism to dask. The answers are the
    refined ones, as ``rudid32.evaluate`` gives them; ``refined=False`` the
    table answers.
    ``flags=True`` gives a third array, the rows' flags (int32), as
    ``rudid32.evaluate(..., flags=True)`` gives them, from the same task.
    The values are in the units of the client's context (``use_units``).
    """
    name = _checked_name(name, b)
    settings = _client_settings()
    arguments = [_as_dask(a)] + ([] if b is None else [_as_dask(b)])
    if not any(isinstance(argument, dask.array.Array) for argument in arguments):
        arguments[0] = dask.array.asarray(arguments[0])
    # Broadcast here, so that the blocks of the arguments and of the result
    # line up one to one; a number goes to every block as it is.
    arrays = [index for index, argument in enumerate(arguments) if isinstance(argument, dask.array.Array)]
    for index, array in zip(arrays, dask.array.broadcast_arrays(*(arguments[i] for i in arrays))):
        arguments[index] = array
    # One task per block evaluates every output; the arrays pick their
    # part of its answer.
    answers = dask.array.map_blocks(_block, name, threads, bool(refined), bool(flags), settings, *arguments,
                                    meta=numpy.empty((0,), dtype=object), dtype=object,
                                    name="rudid32-" + name.lower() + ("-refined" if refined else "")
                                    + ("-flags" if flags else ""))
    parts = [("values", numpy.float64), ("codes", numpy.int32)] + ([("flags", numpy.int32)] if flags else [])
    return tuple(answers.map_blocks(operator.itemgetter(index), meta=numpy.empty((0,), dtype), dtype=dtype,
                                    name="rudid32-" + part)
                 for index, (part, dtype) in enumerate(parts))


def _client_settings():
    """The settings of the client's context, which the workers open."""
    from rudid32 import _library
    return _library.settings()


def _frame_block(name, threads, refined, settings, columns, a, b=None):
    import pandas

    answers = _block(name, threads, refined, len(columns) == 3, settings,
                     a.to_numpy(dtype=numpy.float64, na_value=numpy.nan),
                     None if b is None else b.to_numpy(dtype=numpy.float64, na_value=numpy.nan))
    return pandas.DataFrame(dict(zip(columns, answers)), index=a.index)


def evaluate_columns(name, a, b=None, *, value="value", code="code", threads=1, refined=True, flags=None):
    """The property function ``name`` over columns of a dask dataframe.

    ``a`` and ``b`` are dask Series of one dataframe (or of the same
    partitions), e.g. ``frame.p`` and ``frame.T``; ``b`` is left out for the
    functions of one argument. Returns a dask DataFrame with the same index
    and partitions and two columns, ``value`` (float64, NaN where a row has
    no property) and ``code`` (int32), to be joined to the frame, e.g.
    ``frame.assign(h=result.value, h_code=result.code)``. ``refined=True``
    gives the refined answers. ``flags`` names a third column for the
    rows' flags (int32; ``flags=True`` names it "flags").
    """
    import dask.dataframe
    import pandas

    name = _checked_name(name, b)
    columns = [(value, numpy.float64), (code, numpy.int32)]
    if flags:
        columns.append(("flags" if flags is True else flags, numpy.int32))
    meta = pandas.DataFrame({column: numpy.empty(0, dtype) for column, dtype in columns})
    arguments = [a] + ([] if b is None else [b])
    return dask.dataframe.map_partitions(_frame_block, name, threads, bool(refined), _client_settings(),
                                         tuple(column for column, _ in columns), *arguments, meta=meta)
