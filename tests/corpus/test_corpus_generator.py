"""The stored corpus is what its committed generator writes: run against the
library built from this tree, tools/generate_corpus.py must reproduce
tests/corpus/expected_results.txt byte for byte. A generator edited without
regenerating, or a generator whose output depends on more than the library
and the tables, fails here."""

import os
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
GENERATOR = REPO / "tools" / "generate_corpus.py"
STORED = REPO / "tests" / "corpus" / "expected_results.txt"


def test_generator_reproduces_the_stored_corpus(tmp_path):
    library = os.environ["RUDID32_LIBRARY"]
    output = tmp_path / "expected_results.txt"
    run = subprocess.run([sys.executable, str(GENERATOR), library, "--output", str(output)],
                         capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    stored = STORED.read_text().splitlines()
    written = output.read_text().splitlines()
    differing = [(n, a, b) for n, (a, b) in enumerate(zip(stored, written), start=1) if a != b]
    shown = "\n".join(f"line {n}:\n  stored  {a}\n  written {b}" for n, a, b in differing[:5])
    assert not differing and len(stored) == len(written), \
        f"{len(differing)} lines differ, {len(stored)} stored and {len(written)} written\n{shown}"
