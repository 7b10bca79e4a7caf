"""Fixtures of the rudid32 tool's tests; see cli_support."""

import pytest

from cli_support import DataDirectory


@pytest.fixture
def data(tmp_path):
    """A private data directory in the internal units."""
    return DataDirectory(tmp_path / "data")
