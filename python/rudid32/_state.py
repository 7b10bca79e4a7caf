"""The whole state of water or steam from two of its properties, through
the library's property functions: every other property, the phase, the
quality where there is one, and the library's flags of where the tables are
poor for the answers."""

import math

import numpy

from . import _catalogue, _evaluate, _library
from ._readable import call_single

# The symbols a state is given by, and the longer names also accepted.
_KEYS = {"p": "p", "pressure": "p", "t": "T", "temperature": "T", "h": "h", "enthalpy": "h",
         "specific_enthalpy": "h", "s": "s", "entropy": "s", "specific_entropy": "s", "v": "v",
         "volume": "v", "specific_volume": "v", "x": "x", "quality": "x"}
# The letter of each symbol in the library's function names (AQPPTH).
_LETTER = {"p": "P", "T": "T", "h": "H", "s": "S", "v": "V", "x": "Q"}

COMPRESSED_LIQUID = "compressed liquid"
WET_STEAM = "wet steam"
SATURATED_LIQUID = "saturated liquid"
SATURATED_VAPOUR = "saturated vapour"
SUPERHEATED_VAPOUR = "superheated vapour"
SUPERCRITICAL_FLUID = "supercritical fluid"

# The pressures of the tables, in bar: the whole table, and the saturation
# line up to the critical pressure.
_TABLE_PRESSURES = (0.01, 1000.0)
_SATURATION_PRESSURES = (0.01, 221.2)
_SCAN_POINTS = 400        # pressures tried before narrowing down on a crossing
_BISECTIONS = 100         # halvings of the crossing's interval (to the last bit)
_RELATIVE_TOLERANCE = 1e-6  # how close the recomputed given property must come
# How near a state found through a pressure must give back each given
# property: 1e-4 of its value in the internal units, a temperature on the
# absolute scale, an enthalpy and an entropy no finer than 1e-4 of these
# floors (they vanish at the triple point), a quality as a fraction.
GIVEN_PAIR_TOLERANCE = 1e-4
_FLOORS = {"h": 1.0, "s": 0.01, "x": 1.0}
_QUANTITY_CODE = {"p": 3, "T": 6, "h": 5, "s": 10, "v": 12}

_FLAG_WORDS = ((0x1, "mixed-phase-cell"), (0x2, "near-saturation"), (0x4, "critical-region"), (0x8, "coarse-grid"))


def _function(symbols, result):
    """The library's function giving result from the symbols, e.g. ("p",
    "h"), "T" -> AQPPHT; None when the library has none."""
    name = "AQP" + "".join(_LETTER[s] for s in symbols) + _LETTER[result]
    return name if _library.library().RudidFunctionIndex(name.encode()) >= 0 else None


def _call(name, *arguments):
    return call_single(_catalogue.function(name), arguments)


def flag_words(flags):
    """The library's flags as words ("mixed-phase-cell", ...)."""
    words = [word for bit, word in _FLAG_WORDS if flags & bit]
    if flags & ~0xF:
        words.append("other-%d" % (flags & ~0xF))
    return words


class State:
    """The state of water or steam given by two of its properties, in the
    units configured for this process (``rudid32.units()``)::

        State(p=10, T=300)        State(p=10, h=3000)       State(h=3000, s=7)
        State(T=100, x=0.5)       State(T=300, h=3000)      State(s=6.5, x=0.9)

    Any two of ``p``, ``T``, ``h``, ``s``, ``v``, ``x`` (or ``pressure``,
    ``temperature``, ``enthalpy``, ``entropy``, ``volume``, ``quality``; keys
    in any case) that fix a state. Pairs without a property function of their
    own (h and s, T and h, ...) are solved for the pressure through the
    property functions; a temperature with an h, s or v between those of
    the saturated liquid and vapour is wet steam (a compressed liquid's
    enthalpy hardly depends on pressure, so (T, h) there is better given as
    (p, T)). Attributes:

    - ``p``, ``T``, ``h``, ``s``, ``v`` (also ``pressure``, ``temperature``,
      ``enthalpy``, ``entropy``, ``volume``): floats;
    - ``x`` (``quality``): the vapour fraction of wet steam (0 saturated
      liquid to 1 saturated vapour), None for a single phase or above the
      critical pressure;
    - ``phase``: "compressed liquid", "wet steam", "saturated liquid",
      "saturated vapour", "superheated vapour" or "supercritical fluid";
    - ``flags``: the library's reasons for caution, OR-ed over every property
      function used (0 when the tables are good here), and ``cautions``,
      the same as words ("mixed-phase-cell", ...); ``poor`` is
      ``flags != 0``.

    A state solved through the pressure gives back both given properties
    within ``GIVEN_PAIR_TOLERANCE`` (1e-4) of their values (a temperature on
    the absolute scale; compared in the internal units); every crossing of
    the pressure search is tried in turn, and a pair that no state gives
    back raises ``ValueError``.

    A state outside the tables raises ``RudidRangeError``; NaN or infinity
    raises ``ValueError``; a pair that does not fix a state (or keys other
    than two of these) raises ``TypeError``.
    """

    __slots__ = ("p", "T", "h", "s", "v", "x", "phase", "flags")

    def __init__(self, **given):
        pair = {}
        for key, value in given.items():
            symbol = _KEYS.get(key.lower()) if key != "T" else "T"
            if symbol is None:
                raise TypeError("State() takes two of p, T, h, s, v, x; not %r" % key)
            if symbol in pair:
                raise TypeError("State() was given %s twice" % symbol)
            if not _evaluate.is_scalar(value) or isinstance(value, bool):
                raise TypeError("State() takes numbers; %s is %s" % (key, type(value).__name__))
            value = float(value)
            if not math.isfinite(value):
                raise ValueError("State(): %s is %r, not a finite number" % (key, value))
            pair[symbol] = value
        if len(pair) != 2:
            raise TypeError("State() takes two of p, T, h, s, v, x; given %s" % (", ".join(pair) or "none"))
        self.flags = 0
        self.x = None
        self.phase = None
        self._solve(pair)

    # -- long names
    pressure = property(lambda self: self.p)
    temperature = property(lambda self: self.T)
    enthalpy = property(lambda self: self.h)
    entropy = property(lambda self: self.s)
    volume = property(lambda self: self.v)
    quality = property(lambda self: self.x)
    cautions = property(lambda self: flag_words(self.flags))
    poor = property(lambda self: self.flags != 0)

    def __repr__(self):
        parts = ["%s=%r" % (k, getattr(self, k)) for k in ("p", "T", "h", "s", "v", "x")]
        text = "State(%s, phase=%r" % (", ".join(parts), self.phase)
        return text + (", cautions=%r)" % self.cautions if self.flags else ")")

    def _flag(self, name, *arguments):
        flags = _library.library().RudidStateFlags(name.encode(), *(list(arguments) + [0.0])[:2])
        if flags > 0:
            self.flags |= flags

    def _use(self, name, *arguments):
        """One property function's answer; its flags join the state's."""
        value = _call(name, *arguments)
        self._flag(name, *arguments)
        return value

    def _solve(self, pair):
        if "p" in pair:
            other = next(k for k in pair if k != "p")
            return self._by_pressure(pair["p"], other, pair[other])
        if set(pair) == {"T", "x"}:
            return self._by_temperature_and_quality(pair["T"], pair["x"])
        # Through a pressure: a function may cross the given property more
        # than once (cells that mix liquid and vapour at the saturation
        # line, a liquid whose properties hardly change with pressure), and
        # a crossing need not be the state. Each is tried in order of
        # pressure until one's whole state gives back both given properties.
        from ._errors import RudidRangeError
        for solve in self._candidates(pair):
            self.flags, self.x, self.phase = 0, None, None
            try:
                solve()
            except RudidRangeError:
                continue
            if all(_gives_back(symbol, value, getattr(self, symbol)) for symbol, value in pair.items()):
                return None
        raise ValueError("no state in the tables has these properties (%s)"
                         % ", ".join("%s = %r" % item for item in pair.items()))

    def _candidates(self, pair):
        """The ways the pair may be brought back to one a property function
        takes, each a call that fills in the state."""
        if "T" in pair:
            other = next(k for k in pair if k != "T")
            x = self._wet_quality(pair["T"], other, pair[other])
            if x is not None:
                yield lambda: self._by_temperature_and_quality(pair["T"], x)
            for p in self._pressures_where(_function(("p", "T"), other), pair["T"], pair[other], _TABLE_PRESSURES):
                yield lambda p=p: self._by_pressure(p, other, pair[other])
        elif "x" in pair:
            other = next(k for k in pair if k != "x")
            for p in self._pressures_where(_function(("p", "x"), other), pair["x"], pair[other],
                                           _SATURATION_PRESSURES):
                yield lambda p=p: self._by_pressure(p, "x", pair["x"])
        else:
            first, second = sorted(pair, key="hsv".index)
            for p in self._pressures_where(_function(("p", first), second), pair[first], pair[second],
                                           _TABLE_PRESSURES):
                yield lambda p=p: self._by_pressure(p, first, pair[first])

    # -- from a pressure and one more property
    def _by_pressure(self, p, other, value):
        self.p = p
        if other == "x":
            self.x = value
            self.T = self._use("AQPPT", p)
            for symbol in "hsv":
                setattr(self, symbol, self._use(_function(("p", "x"), symbol), p, value))
            self.phase = SATURATED_LIQUID if value == 0 else SATURATED_VAPOUR if value == 1 else WET_STEAM
            return
        setattr(self, other, value)
        for symbol in "Thsv":
            if symbol != other:
                setattr(self, symbol, self._use(_function(("p", other), symbol), p, value))
        saturation = self._saturation_temperature(p)
        if saturation is None:  # above the critical pressure
            self.phase = COMPRESSED_LIQUID if self._below_critical_temperature(self.T) else SUPERCRITICAL_FLUID
            return
        if other == "T":
            self.phase = COMPRESSED_LIQUID if value < saturation else SUPERHEATED_VAPOUR
            return
        x = self._use(_function(("p", other), "x"), p, value)
        if 0 < x < 1:
            self.phase, self.x = WET_STEAM, x
        elif x == 0:
            on_line = value == _call(_function(("p", "x"), other), p, 0.0)
            self.phase = SATURATED_LIQUID if on_line else COMPRESSED_LIQUID
            self.x = 0.0 if on_line else None
        else:
            on_line = value == _call(_function(("p", "x"), other), p, 1.0)
            self.phase = SATURATED_VAPOUR if on_line else SUPERHEATED_VAPOUR
            self.x = 1.0 if on_line else None

    def _by_temperature_and_quality(self, T, x):
        self.T, self.x = T, x
        self.p = self._use("AQPTP", T)
        for symbol in "hsv":
            setattr(self, symbol, self._use(_function(("T", "x"), symbol), T, x))
        self.phase = SATURATED_LIQUID if x == 0 else SATURATED_VAPOUR if x == 1 else WET_STEAM

    def _wet_quality(self, T, other, value):
        """The quality of wet steam at a temperature with an h, s or v
        between those of the saturated liquid and vapour; None otherwise."""
        if not self._below_critical_temperature(T):
            return None
        name = _function(("T", "x"), other)
        liquid, vapour = _call(name, T, 0.0), _call(name, T, 1.0)
        if not min(liquid, vapour) <= value <= max(liquid, vapour) or liquid == vapour:
            return None
        return (value - liquid) / (vapour - liquid)

    @staticmethod
    def _saturation_temperature(p):
        from ._errors import RudidRangeError
        try:
            return _call("AQPPT", p)
        except RudidRangeError as error:
            if error.code == -1004:  # above the critical pressure
                return None
            raise

    @staticmethod
    def _below_critical_temperature(T):
        from ._errors import RudidRangeError
        try:
            _call("AQPTP", T)
            return True
        except RudidRangeError as error:
            if error.code == -1005:
                return False
            raise

    @staticmethod
    def _pressures_where(name, argument, target, bounds):
        """The pressures at which name(p, argument) equals target, in order:
        each crossing over a scan of the table's pressures, narrowed by
        bisection (one that jumps past the target is left out)."""
        library = _library.library()
        to_configured = lambda bar: library.RudidToConfiguredUnit(3, bar)  # noqa: E731
        grid = numpy.array([to_configured(p) for p in numpy.geomspace(bounds[0], bounds[1], _SCAN_POINTS)])
        values, _ = _evaluate.evaluate_arrays(name, grid, argument)
        residual = values - target
        crossings = numpy.flatnonzero(numpy.isfinite(residual[:-1]) & numpy.isfinite(residual[1:])
                                      & (numpy.sign(residual[:-1]) != numpy.sign(residual[1:])))
        for crossing in crossings:
            low, high = grid[crossing], grid[crossing + 1]
            low_sign = numpy.sign(residual[crossing])
            for _ in range(_BISECTIONS):
                middle = math.sqrt(low * high)
                if not low < middle < high:
                    break
                value, code = _evaluate.evaluate_arrays(name, middle, argument)
                if code != 0:
                    break
                if numpy.sign(float(value) - target) == low_sign:
                    low = middle
                else:
                    high = middle
            for p in (low, high):
                value, code = _evaluate.evaluate_arrays(name, p, argument)
                if code == 0 and abs(float(value) - target) <= _RELATIVE_TOLERANCE * max(1.0, abs(target)):
                    yield float(p)
                    break


def _gives_back(symbol, given, answer):
    """Whether a state's property answers the given one within
    GIVEN_PAIR_TOLERANCE, compared in the internal units."""
    if answer is None:
        return False
    code = _QUANTITY_CODE.get(symbol)
    if code is not None:
        library = _library.library()
        given, answer = library.RudidFromConfiguredUnit(code, given), library.RudidFromConfiguredUnit(code, answer)
    if symbol == "T":
        given, answer = given + 273.15, answer + 273.15
    return abs(answer - given) <= GIVEN_PAIR_TOLERANCE * max(abs(given), _FLOORS.get(symbol, 0.0))
