"""Properties of water and steam from the RUDID32 tables, through ctypes.

Every function takes floats in the units configured in the library's
``default.cfg`` (see ``rudid32 units``) and returns a float in the configured
unit of its result; a quality is a plain fraction from 0 (saturated liquid)
to 1 (saturated vapour)::

    import rudid32
    rudid32.saturation_temperature(10.0)      # AQPPT
    rudid32.temperature_ph(10.0, 3000.0)      # AQPPHT
    rudid32.AQPPHT(10.0, 3000.0)              # the same, by the library's name

A state outside the tables raises ``RudidRangeError`` (``.code`` -1001 ...
-1015, ``.meaning`` in words); a failure without a result (a table file
missing, an argument too large, infinite or NaN) raises ``RudidFailure``
(``.code``, ``.message``). ``evaluate()`` runs one function over many rows
in a single call of the library.

The library is loaded at the first call, from the first of:

1. the file named by the environment variable ``RUDID32_LIBRARY``;
2. ``libRUDID32.so`` beside this package or in the directory above it (a
   build tree or an installation that keeps the two together);
3. ``ctypes.util.find_library("RUDID32")`` (the system's library cache);
4. ``libRUDID32.so``, left to the dynamic loader (``LD_LIBRARY_PATH``).

Which data directory and units the library uses is decided when it is
loaded: the environment variable ``ZAREVIRU_INI`` names an INI file to use
instead of the ``ZAREVIRU.INI`` beside the library.
"""

import ctypes
import ctypes.util
import numbers
import os
import threading

__all__ = [
    "RudidError", "RudidRangeError", "RudidFailure",
    "evaluate", "is_error_code", "error_meaning", "failure_message",
    "data_directory", "startup_message", "library_path",
    "saturation_temperature", "saturation_pressure",
    "enthalpy_tx", "entropy_tx", "volume_tx",
    "enthalpy_px", "entropy_px", "volume_px",
    "enthalpy_pt", "entropy_pt", "volume_pt",
    "temperature_ph", "entropy_ph", "volume_ph", "quality_ph",
    "temperature_ps", "enthalpy_ps", "volume_ps", "quality_ps",
    "temperature_pv", "enthalpy_pv", "entropy_pv", "quality_pv",
]

_LIBRARY_NAME = "libRUDID32.so"

# The states each error code refuses. The limits are those the library
# tests, in its internal units, whatever units are configured.
_MEANINGS = {
    -1001: "pressure below 0.01 bar (or above 1000 bar outside the saturation functions)",
    -1002: "temperature below 0 C (or above 800 C at pressure and temperature)",
    -1003: "quality below 0 or above 1",
    -1004: "pressure above 221.2 bar, the critical pressure",
    -1005: "temperature above 374.15 C, the critical temperature",
    -1012: "entropy outside the table at this pressure",
    -1013: "specific volume outside the table at this pressure",
    -1014: "enthalpy outside the table at this pressure",
    -1015: "pressure and temperature on the saturation line (give a quality instead)",
}

_FAILURE_MESSAGES = {
    2: "File not found", 3: "Invalid filename", 4: "Too many open files",
    5: "File access denied", 100: "Read beyond end of file", 101: "Disk full",
    106: "Invalid numeric input", 200: "Division by zero",
    205: "Floating point overflow", 207: "Invalid floating point operation",
}

# RudidEvaluate's refusals of a whole call.
_UNKNOWN_FUNCTION, _BAD_ARGUMENTS, _OUT_OF_MEMORY = -1, -2, -3


class RudidError(Exception):
    """Base of the errors of this module."""


class RudidRangeError(RudidError, ValueError):
    """The state lies outside the library's tables.

    ``code`` is the library's error code (-1001 ... -1015), ``meaning`` says
    which limit was crossed, ``function`` names the export.
    """

    def __init__(self, function, code):
        self.function = function
        self.code = code
        self.meaning = error_meaning(code)
        super().__init__("%s: error %d: %s" % (function, code, self.meaning))


class RudidFailure(RudidError):
    """The library failed without a result (``code``, ``message``)."""

    def __init__(self, function, code, message):
        self.function = function
        self.code = code
        self.message = message
        super().__init__("%s failed: %s (code %d)" % (function, message, code))


def is_error_code(value):
    """Whether a result of the library is one of its error codes."""
    return value in _MEANINGS


def error_meaning(code):
    """The state that an error code refuses, in words."""
    return _MEANINGS.get(int(code), "unknown error code %d" % code)


def failure_message(code):
    """The message of a failure code, as evaluate() reports them."""
    return _FAILURE_MESSAGES.get(int(code), "I/O error %d" % code)


# Export name -> number of arguments, in the library's order.
_EXPORTS = {
    "AQPPT": 1, "AQPTP": 1,
    "AQPTQH": 2, "AQPTQS": 2, "AQPTQV": 2,
    "AQPPQH": 2, "AQPPQS": 2, "AQPPQV": 2,
    "AQPPTH": 2, "AQPPTS": 2, "AQPPTV": 2,
    "AQPPHT": 2, "AQPPHS": 2, "AQPPHV": 2, "AQPPHQ": 2,
    "AQPPST": 2, "AQPPSH": 2, "AQPPSV": 2, "AQPPSQ": 2,
    "AQPPVT": 2, "AQPPVH": 2, "AQPPVS": 2, "AQPPVQ": 2,
}

_lock = threading.Lock()
_library = None
_library_path = None


def _candidates():
    named = os.environ.get("RUDID32_LIBRARY")
    if named:
        return [named]
    here = os.path.dirname(os.path.abspath(__file__))
    found = [os.path.join(directory, name)
             for directory in (here, os.path.dirname(here))
             for name in (_LIBRARY_NAME, _LIBRARY_NAME + ".1")]
    found = [path for path in found if os.path.isfile(path)]
    system = ctypes.util.find_library("RUDID32")
    if system:
        found.append(system)
    found.append(_LIBRARY_NAME)
    return found


def _declare(library):
    double_pointer = ctypes.POINTER(ctypes.c_double)
    for name, arity in _EXPORTS.items():
        function = getattr(library, name)
        function.argtypes = [ctypes.c_double] * arity
        function.restype = double_pointer
    library.RudidLastError.argtypes = []
    library.RudidLastError.restype = ctypes.c_int
    for name in ("RudidLastErrorMessage", "RudidStartupMessage", "RudidDataDirectory"):
        getattr(library, name).argtypes = []
        getattr(library, name).restype = ctypes.c_char_p
    library.RudidEvaluate.argtypes = [ctypes.c_char_p, ctypes.c_size_t, double_pointer, double_pointer,
                                      double_pointer, ctypes.POINTER(ctypes.c_int)]
    library.RudidEvaluate.restype = ctypes.c_int


def _load():
    global _library, _library_path
    if _library is not None:
        return _library
    with _lock:
        if _library is None:
            errors = []
            for path in _candidates():
                try:
                    library = ctypes.CDLL(path)
                except OSError as error:
                    errors.append(str(error))
                    continue
                _declare(library)
                _library_path = path
                _library = library
                break
            else:
                raise OSError("cannot load the RUDID32 library (set RUDID32_LIBRARY to its path): "
                              + "; ".join(errors))
    return _library


def library_path():
    """The path the library was loaded from (loading it if need be)."""
    _load()
    return _library_path


def data_directory():
    """The data directory the library reads its tables and default.cfg from."""
    return _load().RudidDataDirectory().decode(errors="replace")


def startup_message():
    """The library's start-up message ("" when default.cfg was read in full)."""
    return _load().RudidStartupMessage().decode(errors="replace")


def _call(name, *arguments):
    library = _load()
    result = getattr(library, name)(*(float(a) for a in arguments))
    if not result:
        # The failure code is kept per thread; this is the thread that failed.
        raise RudidFailure(name, library.RudidLastError(),
                           library.RudidLastErrorMessage().decode(errors="replace"))
    value = result[0]
    if is_error_code(value):
        raise RudidRangeError(name, int(value))
    return value


def evaluate(name, arg1, arg2=None):
    """Evaluates the export ``name`` ("AQPPHT", ...) over rows of arguments.

    ``arg1`` and ``arg2`` are sequences of the same length, or a number for
    every row (``arg2`` is left out for AQPPT and AQPTP). Returns
    ``(results, failures)``, two lists: ``results[i]`` is exactly what the
    single call answers, the property or its error code (see
    ``is_error_code``), and NaN for a row that failed, whose failure code is
    in ``failures[i]`` (0 for every other row). Nothing is raised for a row.
    """
    export = str(name).upper()
    if export not in _EXPORTS:
        raise ValueError("no property function %r" % (name,))
    arity = _EXPORTS[export]
    if (arg2 is None) != (arity == 1):
        raise TypeError("%s takes %d argument%s" % (export, arity, "" if arity == 1 else "s"))
    given = [arg1] if arity == 1 else [arg1, arg2]
    columns = [None if isinstance(g, numbers.Real) else [float(v) for v in g] for g in given]
    lengths = {len(column) for column in columns if column is not None}
    if len(lengths) > 1:
        raise ValueError("arg1 and arg2 differ in length")
    count = lengths.pop() if lengths else 1
    columns = [[float(g)] * count if column is None else column for g, column in zip(given, columns)]

    library = _load()
    rows = ctypes.c_double * count
    results = rows()
    failures = (ctypes.c_int * count)()
    status = library.RudidEvaluate(export.encode(), count, rows(*columns[0]),
                                   rows(*columns[1]) if arity == 2 else None, results, failures)
    if status == _OUT_OF_MEMORY:
        raise MemoryError("RudidEvaluate could not allocate its table cache")
    if status < 0:
        raise RudidError("RudidEvaluate refused the call (%d)" % status)
    return list(results), list(failures)


def _export(name, readable, doc):
    arity = _EXPORTS[name]
    if arity == 1:
        def function(value):
            return _call(name, value)
    else:
        def function(first, second):
            return _call(name, first, second)
    function.__name__ = readable
    function.__qualname__ = readable
    function.__doc__ = "%s (%s)." % (doc, name)
    return function


# (export, readable name, what it answers with which arguments)
_NAMES = [
    ("AQPPT", "saturation_temperature", "Saturation temperature at pressure p"),
    ("AQPTP", "saturation_pressure", "Saturation pressure at temperature T"),
    ("AQPTQH", "enthalpy_tx", "Specific enthalpy of the saturated mixture at temperature T and quality x"),
    ("AQPTQS", "entropy_tx", "Specific entropy of the saturated mixture at temperature T and quality x"),
    ("AQPTQV", "volume_tx", "Specific volume of the saturated mixture at temperature T and quality x"),
    ("AQPPQH", "enthalpy_px", "Specific enthalpy of the saturated mixture at pressure p and quality x"),
    ("AQPPQS", "entropy_px", "Specific entropy of the saturated mixture at pressure p and quality x"),
    ("AQPPQV", "volume_px", "Specific volume of the saturated mixture at pressure p and quality x"),
    ("AQPPTH", "enthalpy_pt", "Specific enthalpy at pressure p and temperature T"),
    ("AQPPTS", "entropy_pt", "Specific entropy at pressure p and temperature T"),
    ("AQPPTV", "volume_pt", "Specific volume at pressure p and temperature T"),
    ("AQPPHT", "temperature_ph", "Temperature at pressure p and specific enthalpy h"),
    ("AQPPHS", "entropy_ph", "Specific entropy at pressure p and specific enthalpy h"),
    ("AQPPHV", "volume_ph", "Specific volume at pressure p and specific enthalpy h"),
    ("AQPPHQ", "quality_ph", "Quality at pressure p and specific enthalpy h (0 or 1 outside the two-phase region)"),
    ("AQPPST", "temperature_ps", "Temperature at pressure p and specific entropy s"),
    ("AQPPSH", "enthalpy_ps", "Specific enthalpy at pressure p and specific entropy s"),
    ("AQPPSV", "volume_ps", "Specific volume at pressure p and specific entropy s"),
    ("AQPPSQ", "quality_ps", "Quality at pressure p and specific entropy s (0 or 1 outside the two-phase region)"),
    ("AQPPVT", "temperature_pv", "Temperature at pressure p and specific volume v"),
    ("AQPPVH", "enthalpy_pv", "Specific enthalpy at pressure p and specific volume v"),
    ("AQPPVS", "entropy_pv", "Specific entropy at pressure p and specific volume v"),
    ("AQPPVQ", "quality_pv", "Quality at pressure p and specific volume v (0 or 1 outside the two-phase region)"),
]

for _name, _readable, _doc in _NAMES:
    globals()[_readable] = globals()[_name] = _export(_name, _readable, _doc)
    __all__.append(_name)
del _name, _readable, _doc
