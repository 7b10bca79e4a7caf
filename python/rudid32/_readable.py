"""The property functions as Python functions: named by their quantities,
with the quantities' symbols as parameters, for numbers and for arrays."""

import ctypes
import inspect
from typing import Optional, Union  # noqa: F401 (named by the annotations)

import numpy
from numpy.typing import ArrayLike  # noqa: F401

import math
import warnings

from . import _catalogue, _evaluate, _library
from ._errors import RudidArgumentError, RudidCaution, RudidFailure, RudidRangeError

# Annotations are kept as text, resolved in this module by
# typing.get_type_hints, so that help() shows them short.
_NUMBERS = "ArrayLike"
_THREADS = "Optional[int]"
_RESULT = "Union[float, numpy.ndarray]"


def _one_row(function, arguments, options, flags=None):
    """One row through RudidContextEvaluate in the package's context:
    (value, failure code, the library's message of a failure); flags, a
    ctypes int, receives the answer's flags when given."""
    library = _library.load()[0]
    context = _library.context()
    row = (ctypes.c_double * 3)(*arguments, *(0.0,) * (3 - len(arguments)))
    failure = ctypes.c_int(0)
    status = library.RudidContextEvaluate(context, function.name.encode(), options, 1, ctypes.byref(row, 0),
                                          ctypes.byref(row, 8), ctypes.byref(row, 16), ctypes.byref(failure),
                                          None if flags is None else ctypes.byref(flags))
    if status < 0:
        raise RudidFailure(function.name, status, _library.text(library.RudidContextMessage(context)))
    if not failure.value:
        return row[2], 0, None
    # "1 row failed; row 0: File not found: /data/zarude.dat"
    message = _library.text(library.RudidContextMessage(context))
    return math.nan, failure.value, message.split(": ", 1)[1] if message.startswith("1 row failed") else message


def _answer(function, arguments, options):
    """One answer, table or refined: the property as a float, or the
    error. An answer the library flags comes with a RudidCaution warning
    that says why and what to do."""
    flags = ctypes.c_int(0)
    value, code, message = _one_row(function, arguments, options, flags)
    if code:
        for parameter, argument in zip(function.parameters, arguments):
            if not math.isfinite(argument):
                raise RudidArgumentError(function.readable_name, code, message, parameter, argument)
        raise RudidFailure(function.name, code, message)
    code = _library.load()[0].RudidRangeCode(value)
    if code:
        raise RudidRangeError(function.name, code)
    if flags.value:
        warnings.warn(RudidCaution(function.readable_name, arguments, flags.value), stacklevel=4)
    return value


def _scalar(value, name):
    if not _evaluate.is_scalar(value) or isinstance(value, bool):
        return None
    if isinstance(value, numpy.ndarray) and value.dtype.kind not in "iuf":
        raise TypeError("%s must be a number, not %s" % (name, value.dtype))
    return float(value)


def call_single(function, arguments):
    """The table answer of one call (the 23 functions' own number)."""
    return _answer(function, arguments, _library.TABLE)


def call_refined(function, arguments):
    """The refined answer of one call."""
    return _answer(function, arguments, _library.REFINED)


def call_arrays(function, arguments, threads, refined=True):
    """The values over arrays: NaN where the state is outside the tables
    or an argument is NaN or infinite; any other failure of a row raises."""
    values, codes = _evaluate.evaluate_arrays(function.name, *arguments, threads=threads, refined=refined)
    failed = codes > 0
    if failed.any():
        finite = numpy.ones(codes.shape, bool)
        for argument in numpy.broadcast_arrays(*(numpy.asarray(a, numpy.float64) for a in arguments)):
            finite &= numpy.isfinite(argument)
        real_failures = failed & finite
        if real_failures.any():
            code = int(codes[real_failures].flat[0])
            raise RudidFailure(function.name, code, _library.text(_library.library().RudidFailureMessage(code)))
    return values


def _docstring(function):
    unit = _catalogue.configured_unit
    name = _catalogue.quantity_name
    lines = [function.description[:1].upper() + function.description[1:] + " (%s)." % function.name, "",
             "Parameters, in the units configured for this process:"]
    for parameter, quantity in zip(function.parameters, function.arguments):
        lines.append("    %s: %s%s" % (parameter, name(quantity), " in " + unit(quantity) if unit(quantity) else
                                       " (0 saturated liquid to 1 saturated vapour)"))
    result_unit = unit(function.result)
    lines += ["",
              "Returns the %s%s. For numbers, a float; a state outside the tables raises"
              % (name(function.result), " in " + result_unit if result_unit else " (a fraction from 0 to 1)"),
              "RudidRangeError and a failure of the library raises RudidFailure. For arrays",
              "(broadcast against each other), a float64 array with NaN where the state is",
              "outside the tables or an argument is NaN or infinite; evaluate(%r, ...) also" % function.name,
              "gives the code of each row. Large arrays are split over `threads` threads",
              "(default: the number of cores). The answer is the refined one, from the tables",
              "interpolated along the state's phase (a flagged number warns with RudidCaution);",
              "refined=False gives the table answer, the 23 functions' own numbers."]
    if function.result == -1 and function.arguments[0] == 3:  # a quality from a pressure
        lines += ["",
                  "Outside the two-phase region the library answers 0 for compressed liquid and",
                  "1 for superheated vapour (above the critical pressure 0 or 1 as well), never",
                  "an error: the value alone does not tell a saturated state from a single",
                  "phase. State(p=..., %s=...).phase and .x tell them apart (x is None for a"
                  % function.parameters[1],
                  "single phase), as the command line's \"state\" does."]
    return "\n".join(lines)


def make(function):
    """The Python function for a property function of the library."""
    parameters = function.parameters
    signature = inspect.Signature(
        [inspect.Parameter(p, inspect.Parameter.POSITIONAL_OR_KEYWORD, annotation=_NUMBERS) for p in parameters]
        + [inspect.Parameter("threads", inspect.Parameter.KEYWORD_ONLY, default=None, annotation=_THREADS),
           inspect.Parameter("refined", inspect.Parameter.KEYWORD_ONLY, default=True, annotation="bool")],
        return_annotation=_RESULT)

    def property_function(*args, **kwargs):
        threads, refined = None, True
        if kwargs or len(args) != len(parameters):
            bound = signature.bind(*args, **kwargs)
            args = tuple(bound.arguments[p] for p in parameters)
            threads = bound.arguments.get("threads")
            refined = bool(bound.arguments.get("refined", True))
        args = _evaluate.align_pandas(args)
        scalars = [_scalar(value, parameter) for value, parameter in zip(args, parameters)]
        if None not in scalars:
            return call_refined(function, scalars) if refined else call_single(function, scalars)
        return _evaluate.like_pandas(args, call_arrays(function, args, threads, refined), function.readable_name)

    property_function.__name__ = property_function.__qualname__ = function.readable_name
    property_function.__signature__ = signature
    property_function.__annotations__ = {**{p: _NUMBERS for p in parameters}, "threads": _THREADS,
                                         "refined": "bool", "return": _RESULT}
    property_function.__doc__ = _docstring(function)
    property_function.__module__ = "rudid32"
    return property_function
