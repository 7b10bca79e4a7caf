"""Units chosen for this process without touching the installation's
default.cfg, as the command line chooses them: the user's file
(``$XDG_CONFIG_HOME/rudid32/units``, else ``~/.config/rudid32/units``, lines
of ``quantity = unit``), then ``RUDID32_UNITS`` ("pressure=psi,temperature=F"),
then ``use_units()``, each over the one before.

The library reads its configuration once, when it is loaded. For chosen
units the module loads a private copy of the library whose data directory
is a private view of the installation's: the tables linked, a default.cfg
with the choices applied. Its answers are exactly those of a library
configured with these units; the view is removed when the process ends."""

import atexit
import ctypes
import os
import shutil
import tempfile

_TABLES = ("zarude.dat", "vevuzu.dat", "didizar.dat")
_SELECTION_WORDS = 31

_chosen = {}  # from use_units(): quantity text -> unit text


def user_file():
    """Where this user's choices are kept; None without a home."""
    config = os.environ.get("XDG_CONFIG_HOME")
    if config and os.path.isabs(config):
        return os.path.join(config, "rudid32", "units")
    home = os.environ.get("HOME")
    return os.path.join(home, ".config", "rudid32", "units") if home else None


def parse(text, origin):
    """[(quantity, unit), ...] from "pressure=psi,temperature=F" or lines."""
    pairs = []
    for item in text.replace("\n", ",").split(","):
        item = item.strip()
        if not item or item.startswith("#"):
            continue
        if "=" not in item:
            raise ValueError("%s: %r is not QUANTITY=UNIT" % (origin, item))
        quantity, unit = item.split("=", 1)
        pairs.append((quantity.strip(), unit.strip(), origin))
    return pairs


def choices():
    """Every choice in the order it applies: (quantity, unit, origin)."""
    found = []
    path = user_file()
    if path and os.path.isfile(path):
        with open(path, encoding="utf-8") as file:
            found += parse(file.read(), path)
    variable = os.environ.get("RUDID32_UNITS")
    if variable:
        found += parse(variable, "RUDID32_UNITS")
    found += [(quantity, unit, "use_units()") for quantity, unit in _chosen.items()]
    return found


def _folded(text):
    return "".join(c for c in text.lower() if c not in " -_")


def _selections(library, wanted):
    """{selection word: index} for the wanted choices, checked against the
    library's own lists; ValueError naming what is wrong."""
    names = {}
    code = 0
    while True:
        name = library.RudidQuantityName(code)
        if name is None:
            break
        if name:
            names[code] = name.decode()
        code += 1
    words = {}
    for quantity, unit, origin in wanted:
        folded = _folded(quantity)
        code = next((c for c, n in names.items() if _folded(n) in (folded, "specific" + folded)), None)
        if code is None or library.RudidUnitCount(code) == 0:
            raise ValueError("%s: no quantity with units called %r" % (origin, quantity))
        if library.RudidUnitSelectionWord(code) != code:
            raise ValueError("%s: %s follows the unit of another quantity" % (origin, names[code]))
        units = [library.RudidUnitName(code, k).decode() for k in range(library.RudidUnitCount(code))]
        index = units.index(unit) if unit in units else next(
            (k for k, u in enumerate(units) if u.lower() == unit.lower()), None)
        if index is None:
            raise ValueError("%s: %s has no unit %r; choose one of: %s" % (origin, names[code], unit, " ".join(units)))
        words[code] = index
    return words


def _declare(library):
    library.RudidQuantityName.restype = ctypes.c_char_p
    library.RudidQuantityName.argtypes = [ctypes.c_int]
    library.RudidUnitName.restype = ctypes.c_char_p
    library.RudidUnitName.argtypes = [ctypes.c_int, ctypes.c_int]
    for name in ("RudidUnitCount", "RudidUnitSelectionWord"):
        getattr(library, name).restype = ctypes.c_int
        getattr(library, name).argtypes = [ctypes.c_int]
    library.RudidDataDirectory.restype = ctypes.c_char_p


def view(library, path):
    """The path of a private copy of the library configured with the chosen
    units, or None when nothing is chosen. The copy reads its tables from a
    view of the data directory of the library at path."""
    wanted = choices()
    if not wanted:
        return None
    _declare(library)
    words = _selections(library, wanted)
    installed = library.RudidDataDirectory().decode()
    directory = tempfile.mkdtemp(prefix="rudid32-units-")
    atexit.register(shutil.rmtree, directory, True)
    for table in _TABLES:
        os.symlink(os.path.join(installed, table), os.path.join(directory, table))
    try:
        with open(os.path.join(installed, "default.cfg"), "rb") as file:
            data = bytearray(file.read())
    except OSError:
        data = bytearray()
    data.extend(bytes(max(0, 2 * _SELECTION_WORDS - len(data))))
    for word, index in words.items():
        data[2 * word:2 * word + 2] = index.to_bytes(2, "little", signed=True)
    with open(os.path.join(directory, "default.cfg"), "wb") as file:
        file.write(data)
    with open(os.path.join(directory, "ZAREVIRU.INI"), "w", encoding="utf-8") as file:
        file.write("[STARTUP]\nDIR=%s\n" % directory)
    # The INI beside the copy names the view; the variable, which the
    # library looks at first, names it too while the copy loads.
    copy = os.path.join(directory, os.path.basename(path))
    shutil.copy(os.path.realpath(path), copy)
    return copy


def with_view_environment(directory, load):
    """load() with ZAREVIRU_INI naming the view's INI, then as it was."""
    before = os.environ.get("ZAREVIRU_INI")
    os.environ["ZAREVIRU_INI"] = os.path.join(directory, "ZAREVIRU.INI")
    try:
        return load()
    finally:
        if before is None:
            del os.environ["ZAREVIRU_INI"]
        else:
            os.environ["ZAREVIRU_INI"] = before
