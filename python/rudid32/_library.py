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

import ctypes
import ctypes.util
import os
import threading
import tempfile
import warnings

from . import _units

_FILE = "libRUDID32.so"
_SONAME = _FILE + ".1"

_lock = threading.Lock()
_loaded = None  # (library, path) once loaded


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


def _open(path):
    """ctypes.CDLL(path). The package's own copy of the library reads the
    package's own tables: an INI naming them is in effect while it loads
    (the library reads it once, then), unless ZAREVIRU_INI names one."""
    package = os.path.dirname(os.path.abspath(__file__))
    data = os.path.join(package, "data")
    own = os.path.dirname(os.path.abspath(path)) == package and os.path.isdir(data)
    if not own or os.environ.get("ZAREVIRU_INI"):
        return ctypes.CDLL(path)
    with tempfile.TemporaryDirectory(prefix="rudid32-ini-") as directory:
        with open(os.path.join(directory, "ZAREVIRU.INI"), "w", encoding="utf-8") as file:
            file.write("[STARTUP]\nDIR=%s\n" % data)
        return _units.with_view_environment(directory, lambda: ctypes.CDLL(path))


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
        "RudidSolveStates": (c_int, [c_void_p, c_char_p, c_int, ctypes.c_size_t, c_void_p, c_void_p, c_void_p,
                                     c_void_p, c_void_p, c_void_p]),
        "RudidPhaseName": (c_char_p, [c_int]),
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


def _configured(library, path):
    """The library with the units chosen for this process (see _units):
    itself when none are chosen, else a private copy loaded under them.
    Warns once when its default.cfg is missing or short."""
    library.RudidStartupMessage.restype = ctypes.c_char_p
    message = library.RudidStartupMessage()
    if message:
        library.RudidDataDirectory.restype = ctypes.c_char_p
        warnings.warn("%s (%sdefault.cfg): quantities it does not cover use their first unit; "
                      "rudid32.units() tells them" % (message.decode(errors="replace"),
                                                       library.RudidDataDirectory().decode(errors="replace")),
                      RuntimeWarning, stacklevel=4)
    copy = _units.view(library, path)
    if copy is None:
        return library
    chosen = _units.with_view_environment(os.path.dirname(copy), lambda: ctypes.CDLL(copy))
    _declare(chosen)
    return chosen


def load():
    """The loaded library and the path it was loaded from."""
    global _loaded
    if _loaded is None:
        with _lock:
            if _loaded is None:
                errors = []
                for path in _candidates():
                    try:
                        library = _open(path)
                    except OSError as error:
                        errors.append(str(error))
                        continue
                    try:
                        _declare(library)
                    except AttributeError as error:
                        errors.append("%s: not this version of RUDID32 (%s)" % (path, error))
                        continue
                    _loaded = (_configured(library, path), path)
                    break
                else:
                    raise OSError("cannot load the RUDID32 library (set RUDID32_LIBRARY to its path): "
                                  + "; ".join(errors))
    return _loaded


def library():
    return load()[0]


def function_index(name):
    """The library's index of the property function named (in any case);
    -1 for an unknown name. A name holding a NUL character is unknown: the
    library would read it only up to that character."""
    if not isinstance(name, str) or "\0" in name:
        return -1
    return library().RudidFunctionIndex(name.encode())


def text(pointer):
    """A string the library returned (a c_char_p result), as str."""
    return None if pointer is None else pointer.decode(errors="replace")
