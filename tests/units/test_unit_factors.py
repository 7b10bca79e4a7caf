"""The factor generator: its rounding to six-byte reals, and the generated
table file being up to date with it."""

import subprocess
import sys
from fractions import Fraction
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))

import unit_factors  # noqa: E402


def hex_bytes(value):
    return " ".join("%02X" % b for b in unit_factors.real48_bytes(Fraction(value)))


@pytest.mark.parametrize("value, expected", [
    ("1", "81 00 00 00 00 00"),
    ("-1", "81 00 00 00 00 80"),
    ("221.2", "88 33 33 33 33 5D"),
    ("374.15", "89 33 33 33 13 3B"),
    ("999.999", "8A B2 9D EF FF 79"),
    ("0", "00 00 00 00 00 00"),
])
def test_known_encodings(value, expected):
    assert hex_bytes(value) == expected


def test_half_way_rounds_away_from_zero_and_carries():
    half = Fraction(1, 2**40)
    assert hex_bytes(1 + half) == "81 01 00 00 00 00"
    assert hex_bytes(-(1 + half)) == "81 01 00 00 00 80"
    assert hex_bytes(1 + half - Fraction(1, 2**80)) == "81 00 00 00 00 00"
    assert hex_bytes(2 - half) == "82 00 00 00 00 00"  # carries to the next power of two


def test_exact_evaluation_of_derivations():
    assert unit_factors.exact_value("4.4482 / 0.00064516 * 0.00001") == \
        Fraction(44482, 10**4) / Fraction(64516, 10**8) / 10**5
    assert unit_factors.exact_value("0.3048^3 / 60") == Fraction(3048, 10**4) ** 3 / 60


def test_generated_tables_are_current():
    result = subprocess.run([sys.executable, str(ROOT / "tools" / "unit_factors.py"), "--check"],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
