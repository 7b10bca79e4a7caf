"""Evaluation of a property function over numpy arrays, through the
library's RudidContextEvaluate in the package's context, split over a thread pool for large arrays.

The arrays are handed to the library as they are (contiguous float64
buffers), never converted element by element. ctypes releases the GIL for
the length of a foreign call, so the parts of an array run in parallel; the
library evaluates every row independently, so the split never changes a
result.
"""

import concurrent.futures
import ctypes
import numbers
import os
from typing import Optional, Tuple, Union

import numpy
from numpy.typing import ArrayLike

from . import _catalogue, _library
from ._errors import RudidError

# Below this many rows per part, starting a thread costs more than it saves.
MINIMUM_ROWS_PER_THREAD = 16384

_NUMERIC_KINDS = "iuf"  # signed, unsigned, floating

if ctypes.sizeof(ctypes.c_int) != numpy.dtype(numpy.int32).itemsize:
    raise ImportError("rudid32 needs a platform whose C int is 32 bits")


def default_threads():
    """The number of cores this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return os.cpu_count() or 1


def numeric_array(value, name):
    """value as a float64 array; TypeError for text and anything else that
    is not made of real numbers."""
    if isinstance(value, (str, bytes, bool)):
        raise TypeError("%s must be numbers, not %s" % (name, type(value).__name__))
    try:
        array = numpy.asarray(value)
    except (ValueError, TypeError) as error:
        raise TypeError("%s must be numbers: %s" % (name, error)) from None
    if array.dtype.kind not in _NUMERIC_KINDS:
        raise TypeError("%s must be numbers, not %s" % (name, array.dtype))
    return array.astype(numpy.float64, copy=False)


def is_scalar(value):
    return isinstance(value, numbers.Real) or (isinstance(value, numpy.ndarray) and value.ndim == 0)


def _is_pandas(value):
    return type(value).__module__.split(".")[0] == "pandas"


def align_pandas(arguments):
    """The arguments with their pandas objects matched by label, as pandas
    matches them in ``p * T``: two Series (or two DataFrames) whose indexes
    differ are aligned on the union of their labels, NaN where one lacks a
    label (a row without an answer). Arrays, lists and numbers beside them
    pair by position, as in pandas. A Series beside a DataFrame has no one
    reading (pandas would match the Series' labels with the columns), so it
    is refused with a ValueError, as are indexes with repeated labels that
    cannot be aligned."""
    frames = [i for i, value in enumerate(arguments) if _is_pandas(value) and value is not None]
    if len(frames) < 2:
        return arguments
    first, second = (arguments[i] for i in frames[:2])
    if first.ndim != second.ndim:
        raise ValueError("a pandas Series and a DataFrame cannot be matched by label: "
                         "pass a column (frame[name]) or plain arrays")
    same = first.index.equals(second.index) and (first.ndim == 1 or first.columns.equals(second.columns))
    if same:
        return arguments
    try:
        aligned = first.align(second, join="outer")
    except ValueError as error:
        raise ValueError("the pandas arguments' indexes differ and cannot be matched by label: %s" % error) \
            from None
    result = list(arguments)
    for i, value in zip(frames[:2], aligned):
        result[i] = value
    return tuple(result)


def _pandas_index(arguments, shape):
    """The index (and columns) of the first pandas argument of this shape."""
    for argument in arguments:
        if _is_pandas(argument) and getattr(argument, "shape", None) == shape:
            return argument
    return None


def like_pandas(arguments, result, name):
    """result as a pandas Series (or DataFrame) with the index (and columns)
    of the pandas argument it was computed from; as it is otherwise."""
    if not isinstance(result, numpy.ndarray):
        return result
    model = _pandas_index(arguments, result.shape)
    if model is None:
        return result
    import pandas
    if result.ndim == 1:
        return pandas.Series(result, index=model.index, name=name)
    return pandas.DataFrame(result, index=model.index, columns=model.columns)


def _evaluate_rows(name, first, second, values, codes, flags, start, stop, refined=False, context=None):
    """Rows start .. stop - 1, through RudidContextEvaluate in context (a
    handle, None for the process's configuration); turns the error codes
    among the results into codes and NaN values. flags: None, or the array
    for the rows' flags, which come from the same pass through the tables
    (the refined answers' own flags with refined)."""
    library = _library.load()[0]
    count = stop - start
    if count == 0:
        return
    address = lambda array: array.ctypes.data + start * array.itemsize  # noqa: E731
    status = library.RudidContextEvaluate(context, name, _library.REFINED if refined else _library.TABLE, count,
                                          address(first), None if second is None else address(second),
                                          address(values), address(codes), None if flags is None else address(flags))
    if status < 0:
        raise RudidError("RudidContextEvaluate refused the call (status %d: %s)"
                         % (status, _library.text(library.RudidContextMessage(context))))
    part = values[start:stop]
    # Error codes are negative whole numbers: ask the library about each
    # distinct candidate once, not about every row.
    candidates = numpy.flatnonzero((part < 0) & (part == numpy.trunc(part)))
    if candidates.size:
        part_codes = codes[start:stop]
        part_flags = None if flags is None else flags[start:stop]
        for value in numpy.unique(part[candidates]):
            code = library.RudidRangeCode(float(value))
            if code:
                rows = candidates[part[candidates] == value]
                part_codes[rows] = code
                part[rows] = numpy.nan
                if part_flags is not None:
                    part_flags[rows] = 0


def derived_request(name):
    """(property, pair) of a derived property's name, "cp_pT" or
    "viscosity_ph": a property as the library names it (RudidPropertyName
    or RudidPropertySymbol, "k" too, any case) and two letters of the given
    pair as ``states()`` takes them; None for any other name."""
    if not isinstance(name, str) or "_" not in name:
        return None
    prop, _, pair = name.rpartition("_")
    if prop.lower() in ("k", "thermal_conductivity"):
        prop = "lambda"
    if len(pair) != 2 or _library.library().RudidPropertyIndex(prop.encode()) < 0:
        return None
    return prop.encode(), pair.encode()


def _derived_rows(request, first, second, values, codes, flags, start, stop, refined, context):
    """Rows start .. stop - 1 of a derived property through
    RudidContextProperty; its codes are already the rows' codes."""
    library = _library.load()[0]
    count = stop - start
    if count == 0:
        return
    address = lambda array: array.ctypes.data + start * array.itemsize  # noqa: E731
    status = library.RudidContextProperty(context, request[0], request[1],
                                          _library.REFINED if refined else _library.TABLE, count, address(first),
                                          address(second), address(values), address(codes),
                                          None if flags is None else address(flags))
    if status < 0:
        raise RudidError("RudidContextProperty refused the call (status %d: %s of %s)"
                         % (status, request[0].decode(), request[1].decode()))


def _split(count, threads):
    parts = max(1, min(threads, count // MINIMUM_ROWS_PER_THREAD))
    bounds = [count * k // parts for k in range(parts + 1)]
    return list(zip(bounds[:-1], bounds[1:]))


_CURRENT = object()  # the package's current context


def evaluate_arrays(name, a, b=None, *, threads=None, flags=False, refined=True, context=_CURRENT):
    """Evaluates the property function ``name`` over arrays of arguments.

    ``a`` and ``b`` are numbers, sequences or numpy arrays of any shape,
    broadcast against each other (``b`` is left out for the functions of one
    argument). Returns ``(values, codes)``, two numpy arrays of the broadcast
    shape: ``values`` (float64) holds the property, in the configured unit
    of the function's result, and NaN wherever the row has none; ``codes``
    (int32) is 0 where the row answered, the negative error code where the
    state lies outside the tables (see ``error_meaning``), and the positive
    failure code where the library failed (see ``failure_message``). Every
    value is exactly the double of the single call. Nothing is raised for a
    row; text or other non-numeric arguments raise ``TypeError``.

    ``name`` is the library's ("AQPPTH", any case) or the readable one
    ("enthalpy_pt"), or a derived property and the pair that gives the
    state: "cp_pT", "viscosity_ph", "rho_Tx", "sigma_px" (the property as
    ``State`` or the library names it, then two of p, T, h, s, v, x); its
    codes are also RUDID_TWO_PHASE (-1022: wet steam's cp, ...) and
    RUDID_NOT_SATURATED (-1023: a single phase's surface tension). A pandas Series (a DataFrame's column) or DataFrame
    given as an argument gives Series (DataFrames) with its index back. Two
    pandas arguments are matched by label, as pandas matches them (rows of
    labels only one has get NaN and their code); a Series beside a
    DataFrame is a ValueError.

    Large arrays are split over ``threads`` threads (default: the number of
    cores); the results do not depend on the split.

    The answers are the refined ones (RUDID_REFINED): the tables
    interpolated along the phase of each state and the way the properties
    bend, close to IAPWS-IF97 where the table answers are poor (41 % at a
    deaerator's 6.3 bar and 161 C); ``refined=False`` gives the table
    answers, the numbers of the 23 functions and RudidEvaluate; the same
    codes either way.

    With ``flags=True`` it returns ``(values, codes, flags)``: ``flags``
    (int32) holds each row's state flags (``RUDID_FLAG_*`` bits, as
    ``RudidStateFlags`` gives them; 0 for a row without a value), from the
    same pass through the tables: for a refined answer the flags that still
    apply to it, as ``RudidRefinedFlags`` gives them; with
    ``refined=False`` the table answer's, as ``RudidStateFlags`` gives them.

    The answers come from the package's context (``use_units()``): the
    values and the arguments are in its units.
    """
    request = derived_request(name)
    if request is not None:
        if b is None:
            raise TypeError("%s takes 2 arguments" % name)
        rows, encoded = _derived_rows, request
    else:
        function = _catalogue.function(name)
        if (b is None) != (function.arity == 1):
            raise TypeError("%s takes %d argument%s" % (function.name, function.arity,
                                                        "" if function.arity == 1 else "s"))
        rows, encoded = _evaluate_rows, function.name.encode()
    arguments = [numeric_array(a, "a")] + ([] if b is None else [numeric_array(b, "b")])
    arguments = numpy.broadcast_arrays(*arguments)
    shape = arguments[0].shape
    first, second = [numpy.ascontiguousarray(argument).reshape(-1) for argument in arguments] + [None] * (
        2 - len(arguments))
    values = numpy.empty(first.size, numpy.float64)
    codes = numpy.empty(first.size, numpy.int32)
    threads = default_threads() if threads is None else int(threads)
    if threads < 1:
        raise ValueError("threads must be at least 1")
    parts = _split(first.size, threads)
    row_flags = numpy.zeros(first.size, numpy.int32) if flags else None
    if context is _CURRENT:
        context = _library.context()
    if len(parts) == 1:
        rows(encoded, first, second, values, codes, row_flags, 0, first.size, refined, context)
    else:
        with concurrent.futures.ThreadPoolExecutor(len(parts), thread_name_prefix="rudid32") as pool:
            running = [pool.submit(rows, encoded, first, second, values, codes, row_flags, start, stop,
                                   refined, context)
                       for start, stop in parts]
            for part in running:
                part.result()
    if flags:
        return values.reshape(shape), codes.reshape(shape), row_flags.reshape(shape)
    return values.reshape(shape), codes.reshape(shape)


def evaluate(name: str, a: ArrayLike, b: Optional[ArrayLike] = None, *,
             threads: Optional[int] = None, flags: bool = False,
             refined: bool = True) -> Union[Tuple[numpy.ndarray, numpy.ndarray],
                                             Tuple[numpy.ndarray, numpy.ndarray, numpy.ndarray]]:
    a, b = align_pandas((a, b))
    answers = evaluate_arrays(name, a, b, threads=threads, flags=flags, refined=refined)
    readable = name if derived_request(name) else _catalogue.function(name).readable_name
    suffixes = ("", "_code", "_flags")
    return tuple(like_pandas((a, b), part, readable + suffix) for part, suffix in zip(answers, suffixes))


evaluate.__doc__ = evaluate_arrays.__doc__
