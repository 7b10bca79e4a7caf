"""The stored corpora are what their committed generator writes: run against
the library built from this tree, tools/generate_corpus.py must reproduce
tests/corpus/expected_results.txt (table answers) and
tests/corpus/refined_results.txt (refined answers) byte for byte. A
generator edited without regenerating, or a generator whose output depends
on more than the library and the tables, fails here."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
GENERATOR = REPO / "tools" / "generate_corpus.py"
STORED = REPO / "tests" / "corpus" / "expected_results.txt"
STORED_REFINED = REPO / "tests" / "corpus" / "refined_results.txt"


@pytest.fixture(scope="module")
def written(tmp_path_factory):
    """The two files the generator writes now, into a private folder."""
    folder = tmp_path_factory.mktemp("corpus")
    output, refined = folder / "expected_results.txt", folder / "refined_results.txt"
    run = subprocess.run([sys.executable, str(GENERATOR), os.environ["RUDID32_LIBRARY"], "--output", str(output),
                          "--refined-output", str(refined)], capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    return {STORED: output, STORED_REFINED: refined}


def assert_same_lines(stored_path, written_path):
    stored = stored_path.read_text().splitlines()
    written = written_path.read_text().splitlines()
    differing = [(n, a, b) for n, (a, b) in enumerate(zip(stored, written), start=1) if a != b]
    shown = "\n".join(f"line {n}:\n  stored  {a}\n  written {b}" for n, a, b in differing[:5])
    assert not differing and len(stored) == len(written), \
        f"{stored_path.name}: {len(differing)} lines differ, {len(stored)} stored and {len(written)} written\n{shown}"


def test_generator_reproduces_the_stored_corpus(written):
    assert_same_lines(STORED, written[STORED])


def test_generator_reproduces_the_stored_refined_corpus(written):
    assert_same_lines(STORED_REFINED, written[STORED_REFINED])
