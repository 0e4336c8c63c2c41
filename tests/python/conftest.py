"""Shared fixtures: the tool, the sample data and a database; CTest passes where they are."""

import os
import subprocess
from pathlib import Path

import pytest

import korvix

DATA_DIR = Path(os.environ.get("KORVIX_DATA_DIR", Path(__file__).resolve().parents[2] / "data"))

# PLZ, street and the phonetic code of Bez1: the groups of the sample's
# planted duplicates.
ADDRESS_CODE = "010500000000000003050000000000000504110000000000"

SCHEMA = (
    "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
    "AlgorithmName varchar(100), Description varchar(255))"
)


@pytest.fixture(scope="session")
def tool():
    """Runs the korvix command line and returns its standard output."""
    path = os.environ.get("KORVIX_TOOL")
    if not path:
        pytest.skip("KORVIX_TOOL is not set (run the tests through ctest)")

    def run(*args, stdin=None):
        return subprocess.run([path, *args], input=stdin, capture_output=True, check=True,
                              text=True).stdout

    return run


@pytest.fixture(scope="session")
def sample_records():
    """The sample's record strings, line n of the file at position n - 1."""
    return (DATA_DIR / "sample.txt").read_text(encoding="utf-8").splitlines()


@pytest.fixture
def database(tmp_path):
    """An open SQLite database with the algorithm table and two rows."""
    connection = korvix.connect(str(tmp_path / "algorithms.sqlite"), create=True)
    connection.execute(SCHEMA)
    connection.execute(
        "INSERT INTO DoubletAlgorithms VALUES "
        "('0103000000000000', '-', 'Öffentlich', NULL), "
        "('0103000000000000', '1001', 'Meiner', NULL)"
    )
    yield connection
    connection.close()
