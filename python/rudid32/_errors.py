"""The exceptions of the module; their texts come from the library."""

from . import _library


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
        self.meaning = error_meaning(code, function)
        super().__init__("%s: error %d: %s" % (function, code, self.meaning))


# What each flag means and what to do about it.
_CAUTIONS = (
    (0x1, "the table cell mixes liquid and vapour points", "use the refined answer (the default)"),
    (0x2, "the state lies next to the saturation line", "use the refined answer, or give a quality"),
    (0x4, "the state lies in the critical region, where no interpolation of the tables is reliable",
     "compute it from IAPWS-IF97 if it matters"),
    (0x8, "the table's grid is coarse for this property here", "use the refined answer (the default)"),
    (0x10, "two states share the value given (cold water by volume)",
     "give the state by another pair, e.g. pressure and temperature"),
)


class RudidCaution(UserWarning):
    """A warning that an answer lies where the tables are poor: ``flags``
    (RUDID_FLAG_* bits), ``function`` and ``arguments``; the text says why
    and what to do. ``warnings.simplefilter("error", rudid32.RudidCaution)``
    turns it into an exception."""

    def __init__(self, function, arguments, flags):
        self.function, self.arguments, self.flags = function, tuple(arguments), flags
        reasons = ["%s: %s" % (why, what) for bit, why, what in _CAUTIONS if flags & bit]
        super().__init__("%s%r: %s" % (function, self.arguments, "; ".join(reasons) or "flags %d" % flags))


class RudidFailure(RudidError):
    """The library failed without a result (``code``, ``message``)."""

    def __init__(self, function, code, message):
        self.function = function
        self.code = code
        self.message = message
        super().__init__("%s failed: %s (code %d)" % (function, message, code))


class RudidArgumentError(RudidFailure, ValueError):
    """An argument the library cannot take: NaN or infinite. A ValueError
    that names the argument (``argument``) as well as the library's failure
    (``code``, ``message``)."""

    def __init__(self, function, code, message, argument, value):
        RudidFailure.__init__(self, function, code, message)
        self.argument = argument
        self.args = ("%s: %s is %r, not a finite number (the library failed: %s, code %d)"
                     % (function, argument, value, message, code),)


def is_error_code(value):
    """Whether a result of the library's property functions is one of its
    error codes (a state outside the tables)."""
    return _library.library().RudidRangeCode(float(value)) != 0


def error_meaning(code, function=None):
    """The states that an error code refuses, in words and in the configured
    units; for the given export ("AQPPTH") if one is named."""
    library = _library.library()
    index = -1 if function is None else _library.function_index(str(function))
    meaning = _library.text(library.RudidRangeMessage(index, int(code)))
    return meaning if meaning is not None else "not an error code: %d" % code


def failure_message(code):
    """The message of a failure code ("File not found", ...)."""
    return _library.text(_library.library().RudidFailureMessage(int(code)))
