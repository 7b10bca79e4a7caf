"""The package as a user gets it: pip install into a fresh virtual
environment without a package index, cmake --install into a prefix, and
the README's lines in a checkout; each used from another directory and
finding the library without being told."""

import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from module_support import ROOT

LIBRARY = Path(os.environ["RUDID32_LIBRARY"])
SYSTEM_PYTHON = "/usr/bin/python3"
REPORT = "import rudid32\nprint(rudid32.__file__)\nprint(rudid32.library_path())\nprint(rudid32.temperature_ph(10, 3000))\n"


def run(command, cwd, **environment):
    """Runs command in cwd without the test session's own lookup hints."""
    env = {k: v for k, v in os.environ.items() if k not in ("RUDID32_LIBRARY", "PYTHONPATH", "ZAREVIRU_INI")}
    env.update(environment)
    result = subprocess.run(command, cwd=str(cwd), env=env, capture_output=True, text=True, timeout=240)
    assert result.returncode == 0, result.stdout + result.stderr
    return result.stdout


def checkout_with_build(directory):
    """A checkout of the package whose build tree holds the library under
    test: python/ and data/ copied, build/ naming the built library."""
    shutil.copytree(ROOT / "python", directory / "python",
                    ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    shutil.copytree(Path(os.environ.get("RUDID32_DATA", ROOT / "data")), directory / "data")
    (directory / "build").mkdir()
    (directory / "build" / "libRUDID32.so").symlink_to(LIBRARY.resolve())
    (directory / "build" / "ZAREVIRU.INI").symlink_to(LIBRARY.parent / "ZAREVIRU.INI")
    return directory


def test_a_wheel_from_a_checkout_carries_the_library_and_tables_and_outlives_the_checkout(tmp_path):
    checkout = checkout_with_build(tmp_path / "checkout")
    before = sorted(p.relative_to(checkout) for p in (checkout / "python").rglob("*") if "__pycache__" not in str(p))
    run([SYSTEM_PYTHON, "-m", "pip", "wheel", "--no-deps", "--no-build-isolation", "--no-index",
         "--disable-pip-version-check", "-q", "-w", str(tmp_path / "dist"), "./python"], checkout)
    # The build leaves nothing in the source tree (no build/, no egg-info).
    after = sorted(p.relative_to(checkout) for p in (checkout / "python").rglob("*") if "__pycache__" not in str(p))
    assert after == before
    shutil.rmtree(checkout)

    venv = tmp_path / "venv"
    # Debian's numpy comes from the system's packages; pip may not reach an index.
    run([SYSTEM_PYTHON, "-m", "venv", "--system-site-packages", str(venv)], tmp_path)
    wheel = next((tmp_path / "dist").glob("rudid32-*.whl"))
    run([str(venv / "bin" / "python"), "-m", "pip", "install", "--no-index", "--disable-pip-version-check", "-q",
         str(wheel)], tmp_path)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    script = REPORT + "print(rudid32.data_directory())\nprint(repr(rudid32.startup_message()))\n"
    module, library, temperature, data, message = run([str(venv / "bin" / "python"), "-c", script],
                                                      elsewhere).split()
    package = Path(module).parent
    assert module.startswith(str(venv)) and Path(library) == package / "libRUDID32.so"
    assert Path(data) == package / "data" and message == "''"
    assert float(temperature) == pytest.approx(275.98, abs=0.01)

    # RUDID32_LIBRARY comes first.
    other = tmp_path / "other" / "libRUDID32.so"
    other.parent.mkdir()
    other.symlink_to(LIBRARY.resolve())
    assert run([str(venv / "bin" / "python"), "-c", "import rudid32; print(rudid32.library_path())"], elsewhere,
               RUDID32_LIBRARY=str(other)).strip() == str(other)
    assert not list((ROOT / "python").glob("*.egg-info")) and not (ROOT / "python" / "build").exists()


def test_cmake_install_puts_the_package_on_the_prefix_python_path(tmp_path):
    build = os.environ.get("RUDID_BUILD_DIR")
    if not build:
        pytest.skip("RUDID_BUILD_DIR names the build tree to install")
    prefix = tmp_path / "prefix"
    run([os.environ.get("RUDID_CMAKE", "cmake"), "--install", build, "--prefix", str(prefix)], tmp_path)
    packages = list(prefix.glob("lib*/python3*/site-packages"))
    assert len(packages) == 1, list(prefix.rglob("rudid32"))
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    script = REPORT + "print(rudid32.data_directory())\n"
    module, library, temperature, data = run([SYSTEM_PYTHON, "-c", script], elsewhere,
                                             PYTHONPATH=str(packages[0])).split()
    assert module == str(packages[0] / "rudid32" / "__init__.py")
    assert Path(library).parent.parent == prefix and Path(library).name == "libRUDID32.so.1"
    assert Path(data).parent == prefix / "share"
    assert float(temperature) == pytest.approx(275.98, abs=0.01)


def test_a_checkout_finds_its_build_tree(tmp_path):
    checkout = checkout_with_build(tmp_path / "checkout")
    library = run([SYSTEM_PYTHON, "-c", REPORT], tmp_path, PYTHONPATH=str(checkout / "python")).split()[1]
    assert library == str(checkout / "build" / "libRUDID32.so")
    # Anywhere but a checkout's python/, build/ means nothing.
    shutil.move(str(checkout / "python"), str(checkout / "lib"))
    result = subprocess.run([SYSTEM_PYTHON, "-c", REPORT], cwd=str(tmp_path), capture_output=True, text=True,
                            env={"PATH": os.environ["PATH"], "PYTHONPATH": str(checkout / "lib"),
                                 "LD_LIBRARY_PATH": ""})
    assert result.returncode != 0 or str(checkout) not in result.stdout


def test_the_readme_python_lines_work_verbatim_after_the_readme_build():
    if (ROOT / "build" / "libRUDID32.so").resolve() != LIBRARY.resolve():
        pytest.skip("the library under test is not the README's build/")
    readme = (ROOT / "README.md").read_text()
    section = readme[readme.index("## Python"):]
    commands = re.findall(r"^    (/usr/bin/python3 -c .*)$", section, re.MULTILINE)
    assert commands, "the README's Python section shows no python3 command"
    for command in commands:
        run(["bash", "-c", command], ROOT)


def test_a_wheel_without_the_built_library_is_refused_with_the_reason(tmp_path):
    checkout = checkout_with_build(tmp_path / "checkout")
    (checkout / "build" / "libRUDID32.so").unlink()
    env = {k: v for k, v in os.environ.items() if k not in ("RUDID32_LIBRARY", "PYTHONPATH", "ZAREVIRU_INI")}
    result = subprocess.run([SYSTEM_PYTHON, "-m", "pip", "wheel", "--no-deps", "--no-build-isolation", "--no-index",
                             "--disable-pip-version-check", "-q", "-w", str(tmp_path / "dist"), "./python"],
                            cwd=str(checkout), env=env, capture_output=True, text=True, timeout=240)
    assert result.returncode != 0
    assert "libRUDID32.so is missing: build the library first" in result.stdout + result.stderr
    assert not list((tmp_path / "dist").glob("*.whl"))
