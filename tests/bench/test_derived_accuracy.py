"""The derived properties of the built library (RUDID32_LIBRARY) against
python3-iapws: the accuracy targets over random states, and the check
values of the viscosity, conductivity and surface tension formulations
through the library's states."""

import os
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "bench"))
import derived_accuracy as accuracy  # noqa: E402

LIBRARY = os.environ.get("RUDID32_LIBRARY", str(REPO / "build" / "libRUDID32.so"))


@pytest.fixture(scope="module")
def library():
    if not Path(LIBRARY).exists():
        pytest.skip("no built library")
    return accuracy.Library(LIBRARY)


def test_random_states_meet_the_targets_outside_the_critical_window(library):
    tallies = accuracy.tally(library, accuracy.sample(4000, seed=7))
    for name in ("cp", "cv", "w", "mu", "lambda", "Pr"):
        t = tallies[name]
        assert t["n"] > 3500, name
        assert t["off"] <= accuracy.TARGET_SHARE * t["n"], (name, t)
        assert t["worst_unflagged"] <= accuracy.TARGET_WORST, (name, t)
    # Density and internal energy are as good as the refined v and h.
    assert tallies["rho"]["off"] <= 0.002 * tallies["rho"]["n"]
    assert tallies["u"]["worst_unflagged"] < 0.01


def test_surface_tension_is_within_its_target_up_to_370_C(library):
    worst, at = accuracy.tension_check(library, count=60)
    assert worst <= accuracy.TENSION_TARGET, at


def test_the_report_fails_a_library_off_by_two_percent(library):
    tallies = accuracy.tally(library, accuracy.sample(300, seed=3))
    assert accuracy.meets(tallies, (0.0, 0.0))
    tallies["mu"]["worst_unflagged"] = 0.021
    assert not accuracy.meets(tallies, (0.0, 0.0))
    tallies = accuracy.tally(library, accuracy.sample(300, seed=3))
    assert not accuracy.meets(tallies, (0.0011, 300.0))
