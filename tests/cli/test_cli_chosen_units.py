"""Units chosen without root: for one run (--units, RUDID32_UNITS) and for
one user (units set --user), never touching the installation's default.cfg,
and answering exactly as a library configured with those units does."""

import os
import stat

import pytest

from cli_support import DataDirectory, selection_bytes

# psi (word 3 = 10), F (word 6 = 2), Btu/lbm (word 5 = 3), m3/kg (word 12 = 1)
CHOSEN = "pressure=psi,temperature=F,enthalpy=Btu/lbm"
CHOSEN_WORDS = {3: 10, 6: 2, 5: 3, 12: 1}
CALLS = [("AQPPTH", "145", "572"), ("AQPPHT", "145", "1300"), ("AQPPT", "14.7"), ("state", "h=1300", "s=1.7")]


def private_run(data, tmp_path, *arguments, input=None, **env):
    """The tool with its own TMPDIR and config home; returns the result."""
    environment = dict(os.environ, ZAREVIRU_INI=str(data.ini), TMPDIR=str(tmp_path / "tmp"),
                       XDG_CONFIG_HOME=str(tmp_path / "config"))
    environment.update(env)
    (tmp_path / "tmp").mkdir(exist_ok=True)
    import subprocess
    return subprocess.run([os.environ["RUDID32_CLI"], *arguments], capture_output=True, text=True,
                          env=environment, input=input, timeout=120)


def test_units_for_one_run_answer_as_a_library_configured_with_them(data, tmp_path):
    configured = DataDirectory(tmp_path / "configured", CHOSEN_WORDS)
    installed = data.config.read_bytes()
    for call in CALLS:
        expected = configured.run("--exact", *call)
        chosen = private_run(data, tmp_path, "--exact", "--units", CHOSEN, *call)
        by_variable = private_run(data, tmp_path, "--exact", *call, RUDID32_UNITS=CHOSEN)
        assert (chosen.stdout, chosen.returncode) == (expected.stdout, expected.returncode), call
        assert by_variable.stdout == expected.stdout
    batch = private_run(data, tmp_path, "--units=" + CHOSEN, "batch", "AQPPTH", input="145,572\n")
    assert batch.stdout.splitlines()[0].startswith("pressure [psi],temperature [F],specific enthalpy [Btu/lbm]")
    # The installation's file is as it was, and no private copy is left behind.
    assert data.config.read_bytes() == installed
    assert os.listdir(tmp_path / "tmp") == []


def test_units_for_the_user_persist_without_touching_the_installation(data, tmp_path):
    installed = data.config.read_bytes()
    result = private_run(data, tmp_path, "units", "set", "--user", "pressure", "psi")
    assert result.returncode == 0, result.stderr
    assert data.config.read_bytes() == installed
    assert "pressure = psi" in (tmp_path / "config" / "rudid32" / "units").read_text()
    assert private_run(data, tmp_path, "--value-only", "AQPPT", "14.7").stdout == \
        private_run(data, tmp_path, "--value-only", "--units", "pressure=psi", "AQPPT", "14.7").stdout
    listing = private_run(data, tmp_path, "units").stdout
    assert str(tmp_path / "config" / "rudid32" / "units") in listing.splitlines()[0]
    assert "[psi]" in listing
    # The run's choice goes over the user's; a second user choice keeps the first.
    assert private_run(data, tmp_path, "--units", "pressure=bar", "AQPPT", "1").stdout.endswith(" C\n")
    assert private_run(data, tmp_path, "--units", "pressure=bar", "state", "p=1", "x=0").returncode == 0
    private_run(data, tmp_path, "units", "set", "--user", "temperature", "F")
    text = (tmp_path / "config" / "rudid32" / "units").read_text()
    assert "pressure = psi" in text and "temperature = F" in text
    assert private_run(data, tmp_path, "AQPPT", "14.7").stdout.endswith(" F\n")


def test_a_user_unit_with_a_comma_of_its_own_is_read_back(data, tmp_path):
    assert private_run(data, tmp_path, "units", "set", "--user", "entropy", "Btu/lbm,F").returncode == 0
    result = private_run(data, tmp_path, "AQPPTS", "14.7", "600")
    assert result.stdout.endswith(" Btu/lbm,F\n"), result.stderr


@pytest.mark.parametrize("arguments, message", [
    (("--units", "pressure=foo", "AQPPT", "1"), 'pressure has no unit "foo"; choose one of: bar'),
    (("--units", "colour=red", "AQPPT", "1"), '--units: units: "colour=red" is not QUANTITY=UNIT'),
    (("--units", "pressure=psi;psi", "AQPPT", "1"), '--units: units: "psi" is not QUANTITY=UNIT'),
    (("AQPPT", "1"), 'RUDID32_UNITS: units: temperature has no unit "R"'),
])
def test_a_wrong_unit_choice_is_a_usage_error(data, tmp_path, arguments, message):
    result = private_run(data, tmp_path, *arguments, RUDID32_UNITS="temperature=R" if "--units" not in arguments
                         else "temperature=F")
    assert result.returncode == 2 and message in result.stderr and result.stdout == ""


def test_a_table_that_cannot_be_read_under_chosen_units_is_a_failure_not_a_wrong_choice(data, tmp_path):
    missing = data.path / "zarude.dat"
    missing.unlink()
    result = private_run(data, tmp_path, "--units", "pressure=psi", "AQPPT", "14.7")
    assert result.returncode == 3 and str(missing) in result.stderr and "File not found" in result.stderr


def test_a_user_file_that_cannot_be_written_is_a_clear_failure(data, tmp_path):
    blocker = tmp_path / "not-a-directory"
    blocker.write_text("")
    result = private_run(data, tmp_path, "units", "set", "--user", "pressure", "psi",
                         XDG_CONFIG_HOME=str(blocker))
    assert result.returncode == 3
    assert "cannot create the directory %s/rudid32" % blocker in result.stderr


@pytest.mark.parametrize("content", [None, b"\x00\x00\x00"])
def test_a_missing_or_short_unit_file_is_warned_of_once(data, tmp_path, content):
    data.config.unlink()
    if content is not None:
        data.config.write_bytes(content)
    for arguments in (("AQPPT", "1"), ("--units", "pressure=bar", "AQPPT", "1")):
        warnings = [line for line in private_run(data, tmp_path, *arguments).stderr.splitlines()
                    if "warning" in line]
        assert len(warnings) == 1 and "default.cfg" in warnings[0] and "first unit" in warnings[0]
    data.config.write_bytes(selection_bytes({12: 1}))
    assert private_run(data, tmp_path, "AQPPT", "1").stderr == ""


@pytest.mark.parametrize("kind", ["fifo", "endless device", "oversized file"])
def test_a_user_units_file_that_is_no_small_regular_file_is_refused_at_once(data, tmp_path, kind):
    # A FIFO with no writer would block every command; a copy of /dev/zero
    # would be read until memory runs out.
    units = tmp_path / "config" / "rudid32" / "units"
    units.parent.mkdir(parents=True)
    if kind == "fifo":
        os.mkfifo(units)
    elif kind == "endless device":
        try:
            os.mknod(units, 0o666 | stat.S_IFCHR, os.makedev(1, 5))
        except PermissionError:
            pytest.skip("making a device needs root")
    else:
        units.write_text("pressure = psi\n" + "#" * (1 << 20) + "\n")
    result = private_run(data, tmp_path, "AQPPT", "1")
    assert result.returncode == 2, result.stderr
    assert str(units) in result.stderr
    assert result.stdout == ""


def test_units_for_one_run_write_no_file_and_answer_as_a_configured_library(data, tmp_path):
    # A comma inside a unit (Btu/lbm,F) and one between choices, then ';'.
    chosen = "pressure=psi,entropy=Btu/lbm,F;temperature=F"
    configured = DataDirectory(tmp_path / "configured", {3: 10, 10: 3, 6: 2, 12: 1})
    # No directory can be made in a TMPDIR that is a file, even by root.
    temporary = tmp_path / "temporary-is-a-file"
    temporary.write_text("")
    before = sorted(os.listdir(data.path))
    for call in [("state", "h=3000", "s=7"), ("AQPPTS", "14.7", "600"), ("AQPPT", "5000")]:
        expected = configured.run("--exact", *call)
        result = private_run(data, tmp_path, "--exact", "--units", chosen, *call, TMPDIR=str(temporary))
        assert (result.stdout, result.stderr, result.returncode) == \
            (expected.stdout, expected.stderr, expected.returncode), call
    assert os.listdir(tmp_path / "tmp") == []
    assert sorted(os.listdir(data.path)) == before
    assert not (tmp_path / "config").exists()


def test_the_listing_marks_the_units_chosen_for_the_run(data, tmp_path):
    lines = private_run(data, tmp_path, "--units", "pressure=psi", "units").stdout.splitlines()
    assert lines[0] == "unit configuration --units, over %s" % data.config
    pressure = next(line for line in lines if line.split()[1:2] == ["pressure"])
    assert pressure.split()[3] == "psi" and "[psi]" in pressure and "chosen for this run" in pressure
    temperature = next(line for line in lines if line.split()[1:2] == ["temperature"])
    assert "chosen" not in temperature


def test_a_pair_solved_through_the_pressure_is_found_in_any_pressure_unit(data, tmp_path):
    # The pressures scanned are the tables' 0.01 to 1000 bar in the chosen unit.
    def pressure(*options):
        lines = private_run(data, tmp_path, "--exact", *options, "state", "h=3000", "s=7").stdout.splitlines()
        return float(lines[1].split()[1])
    in_bar = pressure()
    assert pressure("--units", "pressure=psi") == pytest.approx(in_bar * 14.503773773, rel=1e-4)
    assert pressure("--units", "pressure=MPa") == pytest.approx(in_bar / 10, rel=1e-4)
