"""Properties of water and steam from the RUDID32 tables.

Every function takes numbers or numpy arrays in the units configured in the
library's ``default.cfg`` (``units()`` tells them) and answers in the
configured unit of its result; a quality is a plain fraction from 0
(saturated liquid) to 1 (saturated vapour)::

    import rudid32
    rudid32.temperature_ph(10.0, 3000.0)           # AQPPHT, a float
    rudid32.enthalpy_pt(p=10.0, T=[100, 200, 300])  # a numpy array
    values, codes = rudid32.evaluate("AQPPTH", 10.0, [100, 200, 300])
    rudid32.State(p=10.0, h=3000.0)                # every property, phase, flags

The functions are named by their quantities: the result, then the symbols
of the arguments (p pressure, T temperature, h specific enthalpy, s
specific entropy, v specific volume, x quality): ``enthalpy_pt``,
``temperature_ph``, ``volume_tx``, ...; the two functions of one argument
run along the saturation line (``saturation_temperature``,
``saturation_pressure``). Each is also reachable by the library's name
(``AQPPHT``). ``functions()`` lists them, as the library describes them.

For numbers, a state outside the tables raises ``RudidRangeError``
(``.code`` -1001 ... -1015, ``.meaning`` in words); a failure without a
result (a table file missing, an argument too large) raises
``RudidFailure`` (``.code``, ``.message``); an infinite or NaN argument
raises ``RudidArgumentError``, a ``RudidFailure`` and a ``ValueError`` that
names the argument. For arrays, see
``evaluate()``. Names, units and messages all come from the library.

The library is loaded at the first use, from the first of: the file named
by ``RUDID32_LIBRARY``; the library installed beside the package; the build
tree of a checkout (``build/libRUDID32.so``, when imported from its
``python/``); the system's library path. Which data directory the library
uses is decided when it loads: the environment variable ``ZAREVIRU_INI``
names an INI file to use instead of the ``ZAREVIRU.INI`` beside the library.
Units chosen with ``use_units()``, ``RUDID32_UNITS`` or the user's file are
answered through a context of the library opened with them.
"""

import threading

from . import _catalogue, _library, _readable
from ._errors import (RudidArgumentError, RudidCaution, RudidError, RudidFailure, RudidRangeError,  # noqa: F401
                      error_meaning, failure_message, is_error_code)
from ._evaluate import evaluate  # noqa: F401
from ._state import State, states  # noqa: F401

__version__ = "1.2.0"  # the library's version, which a test compares

_FIXED = [
    "RudidError", "RudidRangeError", "RudidFailure", "RudidArgumentError", "RudidCaution",
    "State", "states", "evaluate", "is_error_code", "error_meaning", "failure_message",
    "units", "use_units", "functions", "library_path", "library_version", "data_directory", "startup_message",
]

_lock = threading.Lock()
_property_functions = None  # name -> function, readable names and the library's


def _made():
    global _property_functions
    if _property_functions is None:
        with _lock:
            if _property_functions is None:
                made = {}
                for function in _catalogue.functions():
                    made[function.readable_name] = made[function.name] = _readable.make(function)
                _property_functions = made
    return _property_functions


def __getattr__(name):
    # The property functions are made from what the library tells, at the
    # first use of one: importing never needs the library.
    if name == "__all__":
        return _FIXED + list(_made())
    if name.startswith("_"):
        raise AttributeError("module 'rudid32' has no attribute %r" % name)
    try:
        return _made()[name]
    except KeyError:
        raise AttributeError("module 'rudid32' has no attribute %r" % name) from None


def __dir__():
    try:
        return sorted(set(globals()) | set(_made()))
    except OSError:
        return sorted(globals())


def functions():
    """The library's property functions: a list of records with ``name``
    ("AQPPHT"), ``readable_name`` ("temperature_ph"), ``arity``,
    ``parameters`` (("p", "h")), ``arguments`` and ``result`` (quantity
    codes) and ``description``."""
    return list(_catalogue.functions())


def units():
    """The unit configured in this process for each quantity that has one:
    a dict from the quantity's name to the unit's ({"pressure": "bar",
    "temperature": "C", ...}): the data directory's default.cfg with the
    choices of use_units(), RUDID32_UNITS and the user's file over it."""
    return {name: _catalogue.configured_unit(code) for code, name in _catalogue.quantities()
            if _catalogue.configured_unit(code)}


def use_units(**chosen):
    """Chooses units for this process, over the installation's default.cfg
    and the user's file, without changing either::

        rudid32.use_units(pressure="psi", temperature="F", enthalpy="Btu/lbm")

    Keys are quantity names (``specific_volume`` or ``volume``, any case),
    values the library's unit names (``rudid32 units`` lists them). The
    library opens a context with these units at once (a wrong name raises
    ValueError with the library's reason, and the units stay as they were);
    every answer of the package comes from that context. A later call
    chooses over the earlier ones. Choose before the first use of a
    property function: afterwards it raises RuntimeError. Dask workers open
    the same context (rudid32.dask passes them its settings)."""
    for quantity, unit in chosen.items():
        if not isinstance(unit, str):
            raise TypeError("the unit of %s must be a name, not %r" % (quantity, unit))
    _library.choose_units(chosen)


def library_path():
    """The path the library was loaded from (loading it if need be)."""
    return _library.load()[1]


def library_version():
    """The library's version, "major.minor.patch"."""
    return _library.text(_library.library().RudidVersion())


def data_directory():
    """The data directory the library reads its tables and default.cfg from."""
    return _library.text(_library.library().RudidDataDirectory())  # the context's, where there is one


def startup_message():
    """The library's start-up message ("" when default.cfg was read in full)."""
    return _library.text(_library.library().RudidStartupMessage())
