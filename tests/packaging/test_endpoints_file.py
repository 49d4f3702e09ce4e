"""endpoints.env has two readers, the build's (cmake/EndpointsFile.cmake) and the local
stack's (services/endpoints.py): both read every line the same way."""
import shutil
import subprocess
from pathlib import Path

import pytest

from services.endpoints import read_endpoints

PRINTER = Path(__file__).with_name("print_endpoints.cmake")

# file text -> what both readers take from it (None: both refuse it)
CASES = [
    ("A=1\n", {"A": "1"}),
    ("  A = 1 \t\n", {"A": "1"}),
    ("A=1\r\nB=2\r\n", {"A": "1", "B": "2"}),
    ("A=two words\n", {"A": "two words"}),
    ("A=\n", {"A": ""}),
    ("A=x=y # kept\n", {"A": "x=y # kept"}),
    ("A=x;y\n", {"A": "x;y"}),
    ("# comment\n\n   \n\t# indented comment\nA=1", {"A": "1"}),
    ("A=1\nA=2\n", {"A": "2"}),
    ("a=1\n", None),
    ("A 1\n", None),
    ("=1\n", None),
    ("A B=1\n", None),
]


def cmake_reading(path):
    cmake = shutil.which("cmake")
    if cmake is None:
        pytest.skip("cmake is not installed")
    done = subprocess.run([cmake, f"-DFILE={path}", "-P", str(PRINTER)], capture_output=True, text=True)
    if done.returncode != 0:
        return None
    values = {}
    for line in done.stderr.splitlines():
        name, _, rest = line.partition("=")
        values[name] = rest[1:-1]
    return values


def python_reading(path):
    try:
        return read_endpoints(path)
    except ValueError:
        return None


@pytest.mark.parametrize("text, expected", CASES)
def test_both_readers_read_a_line_alike(tmp_path, text, expected):
    path = tmp_path / "endpoints.env"
    path.write_bytes(text.encode())
    assert python_reading(path) == expected
    assert cmake_reading(path) == expected


def test_the_repository_file_reads_alike():
    from services.endpoints import ENDPOINTS_FILE
    assert cmake_reading(ENDPOINTS_FILE) == read_endpoints(ENDPOINTS_FILE)
