"""The unit configuration: the listing, and changing default.cfg in place
without disturbing anything else in it. The tool's unit lists are checked
against the library: each selection it writes must make the library
convert with the unit of that name."""

import ctypes
import fcntl
import json
import os
import stat
import subprocess
import sys
import time

import pytest

import rudid32
from cli_support import DataDirectory, selection_bytes

# Internal units per unit, for the quantities the property functions use.
PRESSURE = {"bar": 1, "Pa": 1e-5, "N/m2": 1e-5, "MPa": 10, "at": 0.980665, "atm": 1.01325, "dyn/cm2": 1e-6,
            "kp/cm2": 0.980665, "kp/m2": 0.980665e-4, "mmHg": 0.00133332, "psi": 0.0689472, "ksi": 68.9472}
ENTHALPY = {"kJ/kg": 1, "J/kg": 1e-3, "erg/g": 1e-7, "Btu/lbm": 2.326011}
ENTROPY = {"kJ/kg,K": 1, "J/kg,k": 1e-3, "erg/g,K": 1e-7, "Btu/lbm,F": 4.186820}
VOLUME = {"m3/ton": 1e-3, "m3/kg": 1, "dm3/kg": 1e-3, "in3/lbm": 3.612732e-5, "ft3/lbm": 0.06242801}
TEMPERATURE = {"C": lambda c: c, "K": lambda c: c + 273.15, "F": lambda c: c * 1.8 + 32}


def listing(data):
    """{quantity: (configured unit, choices)} from rudid32 units."""
    lines = data.run("units", check=0).stdout.splitlines()
    table = {}
    for line in lines[2:]:
        fields = line.split()
        if len(fields) >= 4 and fields[0].isdigit():
            table[fields[1]] = (fields[3], fields[4:])
    return table


def test_listing_shows_the_26_codes_with_the_configured_unit_marked(data):
    data.config.write_bytes(selection_bytes({3: 10, 6: 2, 12: 1, 9: 99}))
    output = data.run("units", check=0).stdout
    assert str(data.config) in output.splitlines()[0]
    codes = [int(line.split()[0]) for line in output.splitlines()[2:] if line.split() and line.split()[0].isdigit()]
    assert sorted(codes) == list(range(26))
    assert codes[:5] == [3, 5, 6, 10, 12]  # the quantities of the property functions come first
    table = listing(data)
    assert table["pressure"][0] == "psi" and "[psi]" in table["pressure"][1]
    assert table["temperature"][0] == "F"
    assert table["per-degree"][0] == "F"  # follows the temperature
    assert table["power"][0] == "MW" and "outside the list" in " ".join(table["power"][1])


def set_and_call(data, quantity, unit, *call):
    data.run("units", "set", "--installation", quantity, unit, check=0)
    result = data.run("--table", *call, check=0).stdout.split()
    return float(result[0]), result[1:]


@pytest.mark.parametrize("unit", PRESSURE)
def test_pressure_units_select_what_the_library_converts_with(tmp_path, unit):
    data = DataDirectory(tmp_path)
    value, _ = set_and_call(data, "pressure", unit, "AQPPT", repr(10 / PRESSURE[unit]))
    assert value == pytest.approx(rudid32.saturation_temperature(10), rel=1e-5)
    value, printed = set_and_call(data, "pressure", unit, "AQPTP", 100)
    assert value * PRESSURE[unit] == pytest.approx(rudid32.saturation_pressure(100), rel=1e-5)
    assert printed == [unit]


@pytest.mark.parametrize("unit", TEMPERATURE)
def test_temperature_units_select_what_the_library_converts_with(tmp_path, unit):
    data = DataDirectory(tmp_path)
    value, printed = set_and_call(data, "temperature", unit, "AQPTP", repr(TEMPERATURE[unit](100)))
    assert value == pytest.approx(rudid32.saturation_pressure(100), rel=1e-5)
    value, printed = set_and_call(data, "temperature", unit, "AQPPT", 10)
    assert value == pytest.approx(TEMPERATURE[unit](rudid32.saturation_temperature(10)), rel=1e-6)
    assert printed == [unit]


@pytest.mark.parametrize("quantity, units, call, reference", [
    ("enthalpy", ENTHALPY, "AQPPHT", rudid32.temperature_ph(10, 3000, refined=False)),
    ("specific-entropy", ENTROPY, "AQPPST", rudid32.temperature_ps(10, 7, refined=False)),
    ("SpecificVolume", VOLUME, "AQPPVT", rudid32.temperature_pv(10, 0.25, refined=False)),
])
def test_property_units_select_what_the_library_converts_with(tmp_path, quantity, units, call, reference):
    internal = {"AQPPHT": 3000, "AQPPST": 7, "AQPPVT": 0.25}[call]
    for index, (unit, factor) in enumerate(units.items()):
        data = DataDirectory(tmp_path / str(index))
        value, _ = set_and_call(data, quantity, unit, call, 10, repr(internal / factor))
        assert value == pytest.approx(reference, rel=1e-5), unit
        assert data.config.read_bytes()[2 * {"AQPPHT": 5, "AQPPST": 10, "AQPPVT": 12}[call]] == index


def test_set_changes_one_word_and_keeps_every_other_byte(data):
    original = bytes(range(1, 71))  # 62 bytes of selections and 8 beyond
    data.config.write_bytes(original)
    os.chmod(data.config, 0o640)
    result = data.run("units", "set", "--installation", "pressure", "PSI", check=0)
    assert "bar -> psi" in result.stdout
    changed = data.config.read_bytes()
    assert changed == original[:6] + bytes([10, 0]) + original[8:]
    assert stat.S_IMODE(os.stat(data.config).st_mode) == 0o640
    assert [p.name for p in data.path.iterdir() if p.name.startswith(".")] == []  # no temporary left


def test_set_creates_a_missing_file_and_extends_a_short_one(data):
    data.config.unlink()
    data.run("units", "set", "--installation", "temperature", "K", check=0)
    assert data.config.read_bytes() == selection_bytes({6: 1})
    data.config.write_bytes(bytes([3, 0, 1, 0, 2, 0, 0, 0, 5, 0, 7]))  # 11 bytes: the last a low-order byte
    data.run("units", "set", "--installation", "temperature", "F", check=0)
    assert data.config.read_bytes() == bytes([3, 0, 1, 0, 2, 0, 0, 0, 5, 0, 7]) + bytes(1) + bytes([2, 0]) + bytes(48)


def test_set_removes_only_the_temporaries_that_killed_writers_left(data):
    old = time.time() - 3600
    names = {".default.cfg.Ab12Cd": True,   # old and unlocked: its writer is gone
             ".default.cfg.Fresh1": False,  # just made: its writer may not have locked it yet
             ".default.cfg.Held12": False,  # locked: its writer is still at work
             ".default.cfg.toolong": False, ".units.bin.Ab12Cd": False, "default.cfg.Ab12Cd": False}
    for name in names:
        (data.path / name).write_bytes(b"partial")
        if name != ".default.cfg.Fresh1":
            os.utime(data.path / name, (old, old))
    (data.path / ".default.cfg.Dir123").mkdir()
    os.utime(data.path / ".default.cfg.Dir123", (old, old))
    with open(data.path / ".default.cfg.Held12", "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        data.run("units", "set", "--installation", "pressure", "psi", check=0)
    for name, removed in names.items():
        assert (data.path / name).exists() != removed, name
    assert (data.path / ".default.cfg.Dir123").is_dir()


def test_set_writes_through_a_link_to_the_file(data):
    target = data.path / "units.bin"
    data.config.rename(target)
    data.config.symlink_to(target.name)
    data.run("units", "set", "--installation", "pressure", "MPa", check=0)
    assert data.config.is_symlink()
    assert target.read_bytes()[6:8] == bytes([3, 0])


@pytest.mark.parametrize("arguments, message", [
    (("pressure", "furlong"), 'no unit "furlong"'),
    (("11", "m"), "reserved"),
    (("per-degree", "K"), "follows the temperature"),
    (("dimensionless", "m"), "has no unit"),
    (("colour", "red"), "unknown quantity"),
])
def test_set_refuses_and_leaves_the_file_alone(data, arguments, message):
    before = data.config.read_bytes()
    assert message in data.run("units", "set", "--installation", *arguments, check=2).stderr
    assert data.config.read_bytes() == before


def test_set_refuses_a_fifo_in_place_of_the_file_without_waiting_for_a_writer(data):
    # Nobody writes to the FIFO: the library's start-up and the tool must
    # both refuse it rather than block (the run's 60 s limit would fail).
    data.config.unlink()
    os.mkfifo(data.config)
    result = data.run("units", "set", "--installation", "pressure", "psi", check=3)
    assert "not a unit configuration file" in result.stderr
    assert stat.S_ISFIFO(os.lstat(data.config).st_mode)
    assert "the library reported at start-up" in data.run("units", check=0).stdout


LIBRARY_PROBE = """
import ctypes, json, os, sys
library = ctypes.CDLL(os.environ["RUDID32_LIBRARY"])
library.RudidConfiguredUnit.restype = ctypes.c_char_p
print(json.dumps([(library.RudidConfiguredUnit(code) or b"").decode() for code in range(26)]))
"""


def library_lists():
    """{code: (name, [units], selection word)} as the library tells them."""
    library = ctypes.CDLL(os.environ["RUDID32_LIBRARY"])
    library.RudidQuantityName.restype = ctypes.c_char_p
    library.RudidUnitName.restype = ctypes.c_char_p
    lists = {}
    for code in range(26):
        units = [library.RudidUnitName(code, k).decode() for k in range(library.RudidUnitCount(code))]
        lists[code] = (library.RudidQuantityName(code).decode(), units, library.RudidUnitSelectionWord(code))
    return lists


def configured_in_a_fresh_library(data):
    """The unit of every quantity that a newly loaded library reads from default.cfg."""
    env = dict(os.environ, ZAREVIRU_INI=str(data.ini))
    output = subprocess.run([sys.executable, "-c", LIBRARY_PROBE], env=env, capture_output=True, text=True,
                            check=True).stdout
    return json.loads(output)


def test_listing_shows_every_quantity_with_the_library_s_names_and_lists(data):
    lists = library_lists()
    lines = [line.split() for line in data.run("units", check=0).stdout.splitlines()[2:]]
    rows = {int(fields[0]): fields for fields in lines if fields and fields[0].isdigit()}
    assert sorted(rows) == list(range(26))
    for code, (name, units, _) in lists.items():
        if not name:
            assert rows[code][1] == "(reserved)"
        elif units:
            assert rows[code][1] == name.replace(" ", "-")
            assert [unit.strip("[]") for unit in rows[code][4:4 + len(units)]] == units, name


def test_every_unit_name_the_tool_sets_is_the_unit_the_library_then_uses(data):
    """units set for every name of every quantity, read back by a library
    loaded afresh: the selection the tool writes for a name is the one the
    library takes for that name."""
    lists = {code: entry for code, entry in library_lists().items() if entry[1] and entry[2] == code}
    assert len(lists) >= 18
    for k in range(max(len(units) for _, units, _ in lists.values())):
        chosen = {}
        for code, (name, units, _) in lists.items():
            unit = units[k % len(units)]
            data.run("units", "set", "--installation", code, unit, check=0)
            chosen[code] = unit
        configured = configured_in_a_fresh_library(data)
        for code, unit in chosen.items():
            assert configured[code] == unit, (code, unit)


def test_set_without_saying_whose_units_refuses_and_leaves_the_file_alone(data):
    before = data.config.read_bytes()
    result = data.run("units", "set", "pressure", "psi", check=2)
    assert "--user" in result.stderr and "--installation" in result.stderr
    assert data.config.read_bytes() == before
    # Both at once is a wrong command line too.
    data.run("units", "set", "--user", "--installation", "pressure", "psi", check=2)
    assert data.config.read_bytes() == before
