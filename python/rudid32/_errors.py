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


class RudidFailure(RudidError):
    """The library failed without a result (``code``, ``message``)."""

    def __init__(self, function, code, message):
        self.function = function
        self.code = code
        self.message = message
        super().__init__("%s failed: %s (code %d)" % (function, message, code))


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
