"""Units chosen for this process without touching the installation's
default.cfg, as the command line chooses them: the user's file
(``$XDG_CONFIG_HOME/rudid32/units``, else ``~/.config/rudid32/units``, lines
of ``quantity = unit``), then ``RUDID32_UNITS`` ("pressure=psi,temperature=F"),
then ``use_units()``, each over the one before.

The choices are handed to the library as they are written, and it opens a
context with them (RudidOpen): the library checks the names, reads a unit
such as "kJ/kg,K" whole, and answers exactly as a library configured with
these units would."""

import os

_chosen = {}  # from use_units(): quantity text -> unit text


def user_file():
    """Where this user's choices are kept; None without a home."""
    config = os.environ.get("XDG_CONFIG_HOME")
    if config and os.path.isabs(config):
        return os.path.join(config, "rudid32", "units")
    home = os.environ.get("HOME")
    return os.path.join(home, ".config", "rudid32", "units") if home else None


def _file_text(path):
    """A file's choices, one a line, '#' beginning a comment line."""
    with open(path, encoding="utf-8") as file:
        lines = [line.strip() for line in file]
    return ";".join(line for line in lines if line and not line.startswith("#"))


def choices():
    """Every source of choices in the order they apply: (origin, text),
    the text in the library's form ("pressure=psi;temperature=F")."""
    found = []
    path = user_file()
    if path and os.path.isfile(path):
        found.append((path, _file_text(path)))
    found.append(("RUDID32_UNITS", os.environ.get("RUDID32_UNITS", "")))
    found.append(("use_units()", ";".join("%s=%s" % item for item in _chosen.items())))
    return [(origin, text) for origin, text in found if text.strip()]


def text(found):
    """The choices of every source as one text for RudidOpen: a later
    choice of a quantity is over an earlier one."""
    return ";".join(choice for _, choice in found)
