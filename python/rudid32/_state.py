"""The whole state of water or steam from two of its properties, as the
library solves it (RudidSolveStates): every other property, the phase, the
quality where there is one, and the library's flags of where the tables are
poor for the answers. ``State`` is one state; ``states()`` many at once."""

import math

import numpy

from . import _evaluate, _library

# The symbols a state is given by, and the longer names also accepted.
_KEYS = {"p": "p", "pressure": "p", "t": "T", "temperature": "T", "h": "h", "enthalpy": "h",
         "specific_enthalpy": "h", "s": "s", "entropy": "s", "specific_entropy": "s", "v": "v",
         "volume": "v", "specific_volume": "v", "x": "x", "quality": "x", "u": "u", "internal_energy": "u",
         "rho": "d", "density": "d"}
# The properties of a state, in the order of the library's rows.
_SYMBOLS = ("p", "T", "h", "s", "v", "x")

COMPRESSED_LIQUID = "compressed liquid"
WET_STEAM = "wet steam"
SATURATED_LIQUID = "saturated liquid"
SATURATED_VAPOUR = "saturated vapour"
SUPERHEATED_VAPOUR = "superheated vapour"
SUPERCRITICAL_FLUID = "supercritical fluid"

# How near a state found through a pressure gives back each given property
# (the library's tolerance): 1e-4 of its value in the internal units, a
# temperature on the absolute scale, an enthalpy and an entropy no finer
# than 1e-4 of 1 kJ/kg and 0.01 kJ/(kg K), a quality as a fraction.
GIVEN_PAIR_TOLERANCE = 1e-4

# The properties the library derives from a state (RudidSolveProperties),
# in its order, as attributes and columns; lambda is a Python keyword, so the
# thermal conductivity is k.
_DERIVED = ("rho", "u", "cp", "cv", "w", "mu", "k", "Pr", "sigma")
_DERIVED_LONG = {"density": "rho", "internal_energy": "u", "speed_of_sound": "w", "viscosity": "mu",
                 "thermal_conductivity": "k", "prandtl": "Pr", "surface_tension": "sigma"}

# The library's codes (rudid32.h).
_NO_STATE, _NO_QUALITY = -1020, -1021
_REFINED, _TABLE = 0x4, 0x8
_PHASES = 8

def flag_words(flags):
    """The library's flags as words ("mixed-phase-cell", ...), the library's
    own (RudidFlagName); "other-<bits>" for bits it has no word for."""
    library = _library.library()
    words, other = [], 0
    for k in range(31):
        bit = 1 << k
        if not flags & bit:
            continue
        word = _library.text(library.RudidFlagName(bit))
        if word is None:
            other |= bit
        else:
            words.append(word)
    if other:
        words.append("other-%d" % other)
    return words


def _context():
    """The context of the calls: the package's, where it opens one; None
    (the process's configuration) otherwise."""
    context = getattr(_library, "context", None)
    return context() if callable(context) else None


def _pair(given, caller):
    """The two given symbols and values, checked: {symbol: value}."""
    pair = {}
    for key, value in given.items():
        symbol = _KEYS.get(key.lower()) if key != "T" else "T"
        if symbol is None:
            raise TypeError("%s takes two of p, T, h, s, v, x (or p and u, or rho with any but v); not %r"
                            % (caller, key))
        if symbol in pair:
            raise TypeError("%s was given %s twice" % (caller, symbol))
        pair[symbol] = value
    if len(pair) != 2:
        raise TypeError("%s takes two of p, T, h, s, v, x; given %s" % (caller, ", ".join(pair) or "none"))
    return pair


def _solve(pair, refined):
    """One library call over rows: (states, codes, phase, flags) arrays of
    n x 6, n x 6, n, n x 6."""
    (a, first), (b, second) = pair.items()
    first, second = numpy.broadcast_arrays(numpy.asarray(first, dtype=float), numpy.asarray(second, dtype=float))
    first, second = numpy.ascontiguousarray(first.ravel()), numpy.ascontiguousarray(second.ravel())
    n = first.size
    states = numpy.empty((n, 6))
    codes, flags = numpy.empty((n, 6), dtype=numpy.intc), numpy.empty((n, 6), dtype=numpy.intc)
    phase = numpy.empty(n, dtype=numpy.intc)
    options = 0 if refined is None else _REFINED if refined else _TABLE
    status = _library.library().RudidSolveStates(
        _context(), (a + b).encode(), options, n, first.ctypes.data, second.ctypes.data, states.ctypes.data,
        codes.ctypes.data, phase.ctypes.data, flags.ctypes.data)
    if status < 0:
        from ._errors import RudidFailure
        raise RudidFailure("RudidSolveStates", status, "the library refused the rows")
    return states, codes, phase, flags


def _derive(states, codes, phase, flags):
    """The derived properties of rows that _solve solved, without solving
    them again: (values, codes, flags) arrays of n x 9, in the library's
    order (_DERIVED)."""
    n = phase.size
    width = len(_DERIVED)
    values = numpy.empty((n, width))
    derived_codes = numpy.empty((n, width), dtype=numpy.intc)
    derived_flags = numpy.empty((n, width), dtype=numpy.intc)
    status = _library.library().RudidDeriveStates(
        _context(), n, states.ctypes.data, codes.ctypes.data, phase.ctypes.data, flags.ctypes.data,
        values.ctypes.data, derived_codes.ctypes.data, derived_flags.ctypes.data)
    if status < 0:
        from ._errors import RudidFailure
        raise RudidFailure("RudidDeriveStates", status, "the library refused the rows")
    return values, derived_codes, derived_flags


def _phase_names():
    library = _library.library()
    return numpy.array([_library.text(library.RudidPhaseName(k)) or None for k in range(_PHASES)], dtype=object)


class State:
    """The state of water or steam given by two of its properties, in the
    units configured for this process (``rudid32.units()``)::

        State(p=10, T=300)        State(p=10, h=3000)       State(h=3000, s=7)
        State(T=100, x=0.5)       State(T=300, h=3000)      State(s=6.5, x=0.9)
        State(h=3000, s=7, refined=False)

    Any two of ``p``, ``T``, ``h``, ``s``, ``v``, ``x`` (or ``pressure``,
    ``temperature``, ``enthalpy``, ``entropy``, ``volume``, ``quality``; keys
    in any case) that fix a state. The answers are the library's refined
    ones; ``refined=False`` gives the table answers (those of the 23
    functions). The library solves it
    (RudidSolveStates): pairs without a property function of their own (h
    and s, T and h, ...) through the pressure; a temperature with an h, s or
    v between those of the saturated liquid and vapour is wet steam (a
    compressed liquid's enthalpy hardly depends on pressure, so (T, h) there
    is better given as (p, T)). Attributes:

    - ``p``, ``T``, ``h``, ``s``, ``v`` (also ``pressure``, ``temperature``,
      ``enthalpy``, ``entropy``, ``volume``): floats;
    - ``x`` (``quality``): the vapour fraction of wet steam (0 saturated
      liquid to 1 saturated vapour), None for a single phase or above the
      critical pressure;
    - ``phase``: "compressed liquid", "wet steam", "saturated liquid",
      "saturated vapour", "superheated vapour" or "supercritical fluid";
    - ``flags``: the library's reasons for caution, OR-ed over every property
      (0 when the tables are good here), and ``cautions``, the same as words
      ("mixed-phase-cell", ...); ``poor`` is ``flags != 0``;
    - ``property_flags``: each property's own flags, {"T": 0, "h": 1, ...},
      and ``property_cautions``, the same as words for the flagged ones
      ({"v": ["coarse-grid"]}): a caution of the volume says nothing of h.

    - ``rho`` (``density``), ``u`` (``internal_energy``), ``cp``, ``cv``,
      ``w`` (``speed_of_sound``), ``mu`` (``viscosity``), ``k``
      (``thermal_conductivity``), ``Pr`` (``prandtl``), ``sigma``
      (``surface_tension``): the properties the library derives from the
      state, each in the configured unit of its quantity (cp and cv in that
      of specific entropy, u in that of enthalpy; sigma in N/m). None where
      the state has none: cp, cv, w, mu, k and Pr of wet steam (the
      saturated liquid and vapour have them), sigma of a single phase;
      ``derived_flags`` gives the flags of each ({"cp": 4, ...}).

    ``to_dict()`` gives the properties, phase and flags as a dict.

    A state solved through the pressure gives back both given properties
    within ``GIVEN_PAIR_TOLERANCE`` (1e-4) of their values (a temperature on
    the absolute scale; compared in the internal units); a pair that no
    state gives back raises ``ValueError``.

    A state outside the tables raises ``RudidRangeError``; NaN or infinity
    raises ``ValueError``; a pair that does not fix a state (or keys other
    than two of these) raises ``TypeError``.
    """

    __slots__ = ("p", "T", "h", "s", "v", "x", "phase", "flags", "property_flags", "derived_flags") + _DERIVED

    def __init__(self, refined=True, **given):
        pair = _pair(given, "State()")
        for symbol, value in pair.items():
            if not _evaluate.is_scalar(value) or isinstance(value, bool):
                raise TypeError("State() takes numbers; %s is %s" % (symbol, type(value).__name__))
            pair[symbol] = float(value)
            if not math.isfinite(pair[symbol]):
                raise ValueError("State(): %s is %r, not a finite number" % (symbol, value))
        states, codes, phase, flags = _solve(pair, refined)
        self._check(pair, codes[0])
        for k, symbol in enumerate(_SYMBOLS):
            setattr(self, symbol, float(states[0, k]) if codes[0, k] == 0 else None)
        self.phase = _phase_names()[phase[0]]
        self.property_flags = {symbol: int(max(flags[0, k], 0)) for k, symbol in enumerate(_SYMBOLS)}
        self.flags = int(numpy.bitwise_or.reduce(list(self.property_flags.values())))
        values, codes, flags = _derive(states, codes, phase, flags)
        for k, symbol in enumerate(_DERIVED):
            setattr(self, symbol, float(values[0, k]) if codes[0, k] == 0 else None)
        self.derived_flags = {symbol: int(max(flags[0, k], 0)) for k, symbol in enumerate(_DERIVED)}

    @staticmethod
    def _check(pair, codes):
        """Raises for a row without a state or with a property outside the
        tables or failed."""
        if (codes == _NO_STATE).any():
            from ._errors import error_meaning
            raise ValueError("%s (%s)" % (error_meaning(_NO_STATE),
                                           ", ".join("%s = %r" % item for item in pair.items())))
        from ._errors import RudidFailure, RudidRangeError
        for code in codes:
            if code > 0:
                library = _library.library()
                raise RudidFailure("State", int(code), _library.text(library.RudidFailureMessage(int(code))))
            if code < 0 and code != _NO_QUALITY:
                raise RudidRangeError("State", int(code))

    # -- long names
    pressure = property(lambda self: self.p)
    temperature = property(lambda self: self.T)
    enthalpy = property(lambda self: self.h)
    entropy = property(lambda self: self.s)
    volume = property(lambda self: self.v)
    quality = property(lambda self: self.x)
    density = property(lambda self: self.rho)
    internal_energy = property(lambda self: self.u)
    speed_of_sound = property(lambda self: self.w)
    viscosity = property(lambda self: self.mu)
    thermal_conductivity = property(lambda self: self.k)
    prandtl = property(lambda self: self.Pr)
    surface_tension = property(lambda self: self.sigma)
    cautions = property(lambda self: flag_words(self.flags))
    poor = property(lambda self: self.flags != 0)
    property_cautions = property(lambda self: {symbol: flag_words(flags)
                                               for symbol, flags in self.property_flags.items() if flags})

    def to_dict(self):
        """{"p": ..., "T": ..., "h", "s", "v", "x", "phase", "flags",
        "flags_p", ..., "flags_x", "rho", "u", ..., "sigma"}: a row as
        states() gives it."""
        row = {name: getattr(self, name) for name in _SYMBOLS + ("phase", "flags")}
        row.update({"flags_" + symbol: flags for symbol, flags in self.property_flags.items()})
        row.update({symbol: getattr(self, symbol) for symbol in _DERIVED})
        return row

    as_dict = to_dict

    def __repr__(self):
        parts = ["%s=%r" % (k, getattr(self, k)) for k in _SYMBOLS]
        text = "State(%s, phase=%r" % (", ".join(parts), self.phase)
        return text + (", cautions=%r)" % self.property_cautions if self.flags else ")")


def states(refined=True, **given):
    """Many states at once, in one call of the library::

        rudid32.states(h=h_array, s=s_array)       rudid32.states(p=10, T=[100, 200, 300])

    Two of ``p``, ``T``, ``h``, ``s``, ``v``, ``x`` (as ``State`` takes them)
    as numbers or arrays that broadcast together; ``refined=True`` for the
    refined answers, ``None`` for the context's kind. Returns a pandas
    DataFrame (a numpy record array where pandas is missing) of one row per
    state: ``p``, ``T``, ``h``, ``s``, ``v``, ``x`` (NaN where the state has
    no such value: outside the tables, no quality, no state with the pair),
    ``phase`` (None where it cannot be told) and the library's flags of each
    property, ``flags_p`` ... ``flags_x``, then the derived properties
    ``rho``, ``u``, ``cp``, ``cv``, ``w``, ``mu``, ``k``, ``Pr``, ``sigma``
    (as ``State`` names them; NaN where the state has none). Never raises
    for a row."""
    pair = _pair(given, "states()")
    states_, codes, phase, flags = _solve(pair, refined)
    derived, derived_codes, _ = _derive(states_, codes, phase, flags)
    columns = {symbol: numpy.where(codes[:, k] == 0, states_[:, k], numpy.nan) for k, symbol in enumerate(_SYMBOLS)}
    columns["phase"] = _phase_names()[phase]
    for k, symbol in enumerate(_SYMBOLS):
        columns["flags_" + symbol] = flags[:, k]
    for k, symbol in enumerate(_DERIVED):
        columns[symbol] = numpy.where(derived_codes[:, k] == 0, derived[:, k], numpy.nan)
    try:
        import pandas
    except ImportError:
        return numpy.rec.fromarrays(list(columns.values()), names=list(columns))
    return pandas.DataFrame(columns)
