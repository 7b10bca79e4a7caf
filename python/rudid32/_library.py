"""Finding and loading libRUDID32.so, and the C prototypes of what the
module calls.

The library is looked for at the first use, first hit wins:

1. the file named by the environment variable ``RUDID32_LIBRARY``;
2. the library installed beside the package: ``libRUDID32.so`` in the
   package's directory (a wheel built from a checkout carries its own copy,
   with the tables in the package's ``data/``, which it reads unless
   ``ZAREVIRU_INI`` names another INI) or the one above it, else the file
   recorded when the package was installed (``cmake --install`` records the
   installed library);
3. the build tree of a checkout, ``build/libRUDID32.so``, when the package
   is imported from the repository's ``python/`` directory;
4. the system's library path (``ctypes.util.find_library``, then the
   dynamic loader with ``LD_LIBRARY_PATH``).
"""

import atexit
import ctypes
import ctypes.util
import os
import re
import threading
import warnings

from . import _units

_FILE = "libRUDID32.so"
_SONAME = _FILE + ".1"
_UNIT_FILE = "default.cfg"
_UNIT_FILE_BYTES = 62  # the selection words the library reads

# RudidContextEvaluate's options.
TABLE = 0x8
REFINED = 0x4

_lock = threading.RLock()
_loaded = None  # (library, path) once loaded
_own_data = None  # the package's own data directory, when its own copy of the library reads it
_context = None  # the package's current context: a c_void_p, or None for the process's configuration
_settings = None  # what _context was opened with: (directory, units, options)
_settled = False  # whether _context has been used; from then on it stays
_others = {}  # settings -> c_void_p: contexts opened for the settings of another process (dask)


def _recorded_location():
    try:
        from . import _location  # written when the package is installed
    except ImportError:
        return None
    return getattr(_location, "LIBRARY", None)


def _candidates():
    named = os.environ.get("RUDID32_LIBRARY")
    if named:
        yield named
        return
    package = os.path.dirname(os.path.abspath(__file__))
    for directory in (package, os.path.dirname(package)):
        for name in (_FILE, _SONAME):
            path = os.path.join(directory, name)
            if os.path.isfile(path):
                yield path
    recorded = _recorded_location()
    if recorded and os.path.isfile(recorded):
        yield recorded
    checkout = os.path.dirname(os.path.dirname(package))
    if os.path.basename(os.path.dirname(package)) == "python":
        built = os.path.join(checkout, "build", _FILE)
        if os.path.isfile(built):
            yield built
    system = ctypes.util.find_library("RUDID32")
    if system:
        yield system
    yield _SONAME
    yield _FILE


def _own_data_directory(path):
    """The package's own tables (data/ beside the package's own copy of
    the library), which its contexts read unless ZAREVIRU_INI names an INI;
    None otherwise."""
    package = os.path.dirname(os.path.abspath(__file__))
    data = os.path.join(package, "data")
    own = os.path.dirname(os.path.abspath(path)) == package and os.path.isdir(data)
    return data if own and not os.environ.get("ZAREVIRU_INI") else None


def _declare(library):
    c_int, c_double, c_char_p, c_void_p = ctypes.c_int, ctypes.c_double, ctypes.c_char_p, ctypes.c_void_p
    prototypes = {
        # name: (result, arguments)
        "RudidEvaluate": (c_int, [c_char_p, ctypes.c_size_t, c_void_p, c_void_p, c_void_p, c_void_p]),
        "RudidEvaluateRefined": (c_int, [c_char_p, ctypes.c_size_t, c_void_p, c_void_p, c_void_p, c_void_p]),
        "RudidEvaluateWithFlags": (c_int, [c_char_p, ctypes.c_size_t, c_void_p, c_void_p, c_void_p, c_void_p,
                                           c_void_p]),
        "RudidLastError": (c_int, []),
        "RudidLastErrorMessage": (c_char_p, []),
        "RudidStartupMessage": (c_char_p, []),
        "RudidDataDirectory": (c_char_p, []),
        "RudidVersion": (c_char_p, []),
        "RudidFunctionCount": (c_int, []),
        "RudidFunctionIndex": (c_int, [c_char_p]),
        "RudidFunctionName": (c_char_p, [c_int]),
        "RudidFunctionArity": (c_int, [c_int]),
        "RudidFunctionDescription": (c_char_p, [c_int]),
        "RudidFunctionArgument": (c_int, [c_int, c_int]),
        "RudidFunctionResult": (c_int, [c_int]),
        "RudidQuantityName": (c_char_p, [c_int]),
        "RudidConfiguredUnit": (c_char_p, [c_int]),
        "RudidRangeCode": (c_int, [c_double]),
        "RudidRangeMessage": (c_char_p, [c_int, c_int]),
        "RudidFailureMessage": (c_char_p, [c_int]),
        "RudidStateFlags": (c_int, [c_char_p, c_double, c_double]),
        "RudidRefinedFlags": (c_int, [c_char_p, c_double, c_double]),
        "RudidToConfiguredUnit": (c_double, [c_int, c_double]),
        "RudidFromConfiguredUnit": (c_double, [c_int, c_double]),
        "RudidOpen": (c_void_p, [c_char_p, c_char_p, c_int]),
        "RudidClose": (None, [c_void_p]),
        "RudidContextEvaluate": (c_int, [c_void_p, c_char_p, c_int, ctypes.c_size_t, c_void_p, c_void_p,
                                         c_void_p, c_void_p, c_void_p]),
        "RudidContextMessage": (c_char_p, [c_void_p]),
        "RudidContextUnit": (c_char_p, [c_void_p, c_int]),
        "RudidContextDirectory": (c_char_p, [c_void_p]),
        "RudidContextConvert": (c_double, [c_void_p, c_int, c_double, c_int]),
        "RudidSolveStates": (c_int, [c_void_p, c_char_p, c_int, ctypes.c_size_t, c_void_p, c_void_p, c_void_p,
                                     c_void_p, c_void_p, c_void_p]),
        "RudidPhaseName": (c_char_p, [c_int]),
        "RudidFlagName": (c_char_p, [c_int]),
        "RudidSolveProperties": (c_int, [c_void_p, c_char_p, c_int, ctypes.c_size_t, c_void_p, c_void_p, c_void_p,
                                         c_void_p, c_void_p]),
        "RudidContextProperty": (c_int, [c_void_p, c_char_p, c_char_p, c_int, ctypes.c_size_t, c_void_p, c_void_p,
                                         c_void_p, c_void_p, c_void_p]),
        "RudidPropertyName": (c_char_p, [c_int]),
        "RudidPropertySymbol": (c_char_p, [c_int]),
        "RudidPropertyQuantity": (c_int, [c_int]),
        "RudidPropertyIndex": (c_int, [c_char_p]),
        "RudidDeriveStates": (c_int, [c_void_p, ctypes.c_size_t, c_void_p, c_void_p, c_void_p, c_void_p, c_void_p,
                                      c_void_p, c_void_p]),
    }
    for name, (result, arguments) in prototypes.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    # The property functions themselves, by the names the library gives.
    double_pointer = ctypes.POINTER(c_double)
    for index in range(library.RudidFunctionCount()):
        function = getattr(library, library.RudidFunctionName(index).decode())
        function.restype = double_pointer
        function.argtypes = [c_double] * library.RudidFunctionArity(index)


def _warn_of_unit_file(library):
    """Warns once when the default.cfg the package's answers rest on is
    missing or short."""
    if _own_data is None:
        message = text(library.RudidStartupMessage())
        directory = text(library.RudidDataDirectory())
    else:
        message, directory = _own_unit_file_message(), _own_data + os.sep
    if message:
        warnings.warn("%s (%s%s): quantities it does not cover use their first unit; rudid32.units() tells them"
                      % (message, directory, _UNIT_FILE), RuntimeWarning, stacklevel=5)


def _own_unit_file_message():
    """For the package's own tables, what the library says at start-up of
    its own directory's default.cfg: "" when it is read whole."""
    try:
        with open(os.path.join(_own_data, _UNIT_FILE), "rb") as file:
            whole = len(file.read(_UNIT_FILE_BYTES)) == _UNIT_FILE_BYTES
    except OSError:
        whole = False
    return "" if whole else 'File is corrupt or missing! "%s" is corrupt or missing!' % _UNIT_FILE


def load():
    """The loaded library and the path it was loaded from."""
    global _loaded, _own_data
    if _loaded is None:
        with _lock:
            if _loaded is None:
                errors = []
                for path in _candidates():
                    try:
                        library = ctypes.CDLL(path)
                    except OSError as error:
                        errors.append(str(error))
                        continue
                    try:
                        _declare(library)
                    except AttributeError as error:
                        errors.append("%s: not this version of RUDID32 (%s)" % (path, error))
                        continue
                    _own_data = _own_data_directory(path)
                    _warn_of_unit_file(library)
                    _loaded = (library, path)
                    break
                else:
                    raise OSError("cannot load the RUDID32 library (set RUDID32_LIBRARY to its path): "
                                  + "; ".join(errors))
    return _loaded


# -- the package's context

def _open_context(library, directory, units, options=0):
    """A context opened with these settings; ValueError with the library's
    reason when it cannot be."""
    handle = library.RudidOpen(None if directory is None else directory.encode(),
                               None if units is None else units.encode(), options)
    if not handle:
        raise ValueError(text(library.RudidContextMessage(None)))
    return ctypes.c_void_p(handle)


def _close(handle):
    if handle is not None and _loaded is not None:
        _loaded[0].RudidClose(handle)


def _opened_from_choices(library):
    """(context, settings) for the units chosen for this process over the
    package's data directory; (None, None) when the process's configuration
    is what they describe. A wrong choice raises ValueError naming where it
    was made."""
    wanted = _units.choices()
    if not wanted and _own_data is None:
        return None, None
    units = _units.text(wanted) or None
    settings = (_own_data, units, 0)
    try:
        return _open_context(library, *settings), settings
    except ValueError:
        # Name where the wrong choice was made: the first source that
        # cannot be opened alone.
        for origin, alone in wanted:
            try:
                _close(_open_context(library, _own_data, alone))
            except ValueError as alone_error:
                raise ValueError("%s: %s" % (origin, alone_error)) from None
        raise


def _settle():
    """The current context, from now on fixed: opened from the choices at
    the first use unless use_units() opened it."""
    global _context, _settings, _settled
    if not _settled:
        library = load()[0]
        with _lock:
            if not _settled:
                if _settings is None:
                    _context, _settings = _opened_from_choices(library)
                _settled = True
    return _context


def choose_units(chosen):
    """use_units(): the choices made so far with these over them, opened as
    the package's context now (ValueError from the library when one is
    wrong, and nothing changes); the context before it is closed."""
    global _context, _settings
    library = load()[0]
    with _lock:
        if _settled:
            raise RuntimeError("the library is loaded already and answering in its units; choose units "
                               "before the first use (or with RUDID32_UNITS before the process starts)")
        before = dict(_units._chosen)
        _units._chosen.update(chosen)
        try:
            context, settings = _opened_from_choices(library)
        except ValueError:
            _units._chosen.clear()
            _units._chosen.update(before)
            raise
        _close(_context)
        _context, _settings = context, settings


def context():
    """The package's current context, a ctypes c_void_p for the library's
    context calls; None for the process's configuration. From the first
    call on it stays the same for the life of the process."""
    return _context if _settled else _settle()


def settings():
    """What another process needs to open the same context as this one:
    (data directory, units text, options), the directory and units None
    where the process's are meant; None for the process's configuration."""
    _settle()
    return _settings


def context_for(wanted):
    """The context that settings() gave in another process: this process's
    own when they are the same, else one opened for them, kept till exit."""
    if wanted == settings():
        return _context
    if wanted is None:
        return None
    with _lock:
        if wanted not in _others:
            _others[wanted] = _open_context(load()[0], *wanted)
        return _others[wanted]


@atexit.register
def _close_all():
    global _context
    with _lock:
        handles = [_context] + list(_others.values())
        _context = None
        _others.clear()
        for handle in handles:
            _close(handle)


def library():
    """The loaded library; its calls of the process's configuration answer
    in the current context where the package has one (see _InContext)."""
    handle = context()
    raw = _loaded[0]
    if handle is None:
        return raw
    global _view
    if _view is None or _view._context is not handle:
        _view = _InContext(raw, handle)
    return _view


_view = None
_LIMIT = re.compile(r"(below|above) (\S+) (\S+)")


class _InContext:
    """The library with the calls that read the process's configuration
    (units, directory, flags, range messages) answered in a context: code
    written against the process's configuration keeps working with chosen
    units. Every other name is the library's own."""

    def __init__(self, raw, handle):
        self._raw = raw
        self._context = handle

    def __getattr__(self, name):
        value = getattr(self._raw, name)
        setattr(self, name, value)
        return value

    def RudidConfiguredUnit(self, quantity):  # noqa: N802 (the library's names)
        return self._raw.RudidContextUnit(self._context, quantity)

    def RudidDataDirectory(self):  # noqa: N802
        return self._raw.RudidContextDirectory(self._context)

    def RudidStartupMessage(self):  # noqa: N802
        return (_own_unit_file_message() if _own_data is not None else text(self._raw.RudidStartupMessage())).encode()

    def RudidToConfiguredUnit(self, quantity, value):  # noqa: N802
        return self._raw.RudidContextConvert(self._context, quantity, value, 1)

    def RudidFromConfiguredUnit(self, quantity, value):  # noqa: N802
        return self._raw.RudidContextConvert(self._context, quantity, value, 0)

    def _flags(self, name, first, second, options):
        values = (ctypes.c_double * 3)(first, second, 0.0)
        codes = (ctypes.c_int * 2)()
        status = self._raw.RudidContextEvaluate(self._context, name, options, 1, ctypes.byref(values, 0),
                                                ctypes.byref(values, 8), ctypes.byref(values, 16),
                                                ctypes.byref(codes, 0), ctypes.byref(codes, 4))
        return status if status < 0 else (0 if codes[0] or self._raw.RudidRangeCode(values[2]) else codes[1])

    def RudidStateFlags(self, name, first, second):  # noqa: N802
        return self._flags(name, first, second, TABLE)

    def RudidRefinedFlags(self, name, first, second):  # noqa: N802
        return self._flags(name, first, second, REFINED)

    def RudidRangeMessage(self, function, code):  # noqa: N802
        message = text(self._raw.RudidRangeMessage(function, code))
        if message is None:
            return None
        return range_message_in(self._raw, self._context, message).encode()


def range_message_in(raw, handle, message):
    """A range message of the process's configuration with its limits
    restated in the context's units. A limit is a short decimal in the
    internal unit, so the six digits the message shows give it back."""
    codes = [code for code in (3, 6) if message.startswith(text(raw.RudidQuantityName(code)) + " ")]
    if not codes:
        return message
    quantity = codes[0]
    process_unit = text(raw.RudidConfiguredUnit(quantity))

    def restated(match):
        if match.group(3).rstrip(",") != process_unit:
            return match.group(0)
        internal = float("%.6g" % raw.RudidFromConfiguredUnit(quantity, float(match.group(2))))
        value = raw.RudidContextConvert(handle, quantity, internal, 1)
        return "%s %.6g %s%s" % (match.group(1), value, text(raw.RudidContextUnit(handle, quantity)),
                                 "," if match.group(3).endswith(",") else "")
    return _LIMIT.sub(restated, message)


def function_index(name):
    """The library's index of the property function named (in any case);
    -1 for an unknown name. A name holding a NUL character is unknown: the
    library would read it only up to that character."""
    if not isinstance(name, str) or "\0" in name:
        return -1
    return load()[0].RudidFunctionIndex(name.encode())


def text(pointer):
    """A string the library returned (a c_char_p result), as str."""
    return None if pointer is None else pointer.decode(errors="replace")
