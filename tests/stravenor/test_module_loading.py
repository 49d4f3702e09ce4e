"""Import-time loading of the two native libraries from the module's own
folder, and the module's bounds on the buffers a library fills."""

import json
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from .conftest import PACKAGE_DIR, ROOT

API = "libthosttraderapi_se.so"
TRADER = "libtrader.so"
MODULE = next(PACKAGE_DIR.glob("Stravenor*.so"))
HERE = Path(__file__).resolve().parent

# Imports the module file given as argv[1] under its own name, then runs the
# statements of argv[2] with the module as `m`; prints a JSON line.
RUNNER = r"""
import importlib.util, json, sys
spec = importlib.util.spec_from_file_location("Stravenor", sys.argv[1])
try:
    m = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(m)
except ImportError as exc:
    print(json.dumps({"error": type(exc).__name__, "message": str(exc)}))
    sys.exit(0)
out = {}
exec(sys.argv[2])
print(json.dumps(out, ensure_ascii=False))
"""


def run_module(folder: Path, code: str = "") -> dict:
    module = folder / MODULE.name
    proc = subprocess.run([sys.executable, "-c", RUNNER, str(module), code],
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 0, proc.stderr
    return json.loads(proc.stdout.strip().splitlines()[-1])


def module_folder(tmp_path: Path, libraries: dict) -> Path:
    """A folder holding the module and the given libraries (name -> source file)."""
    folder = tmp_path / "pkg"
    folder.mkdir()
    shutil.copy2(MODULE, folder / MODULE.name)
    for name, source in libraries.items():
        shutil.copy2(source, folder / name)
    return folder


@pytest.mark.parametrize("libraries, named", [
    ({}, API),
    ({API: PACKAGE_DIR / API}, TRADER),
    # The API library under the trader's name: loads, but lacks the functions.
    ({API: PACKAGE_DIR / API, TRADER: PACKAGE_DIR / API}, "StartTrader"),
    ({TRADER: PACKAGE_DIR / TRADER}, API),  # API library first, even when the trader's is there
])
def test_missing_library_or_function_fails_the_import(tmp_path, libraries, named):
    folder = module_folder(tmp_path, libraries)
    outcome = run_module(folder)
    assert outcome["error"] == "ImportError"
    assert named in outcome["message"]
    assert str(folder) in outcome["message"]


def test_libraries_load_from_the_module_folder(tmp_path):
    folder = module_folder(tmp_path, {API: PACKAGE_DIR / API, TRADER: PACKAGE_DIR / TRADER})
    outcome = run_module(folder, (
        "maps = open('/proc/self/maps').read()\n"
        "out['loaded'] = sorted({l.split()[-1] for l in maps.splitlines() if 'trader' in l})\n"
        "out['has_query'] = hasattr(m, 'query_trader_all_info')\n"))
    assert outcome["has_query"] is True
    assert outcome["loaded"] == sorted([str(folder / API), str(folder / TRADER)])


def find_compiler():
    for name in ("c++", "g++", "clang++"):
        if shutil.which(name):
            return shutil.which(name)
    return None


def test_buffers_without_nul_are_read_to_their_size_only(tmp_path):
    compiler = find_compiler()
    if compiler is None:
        pytest.skip("no C++ compiler to build the buffer-filling test library")
    fake = tmp_path / TRADER
    build = subprocess.run([compiler, "-shared", "-fPIC", "-O1", "-std=c++17",
                            "-I", str(ROOT / "src" / "native" / "trader"),
                            str(HERE / "fake_trader.cpp"), "-o", str(fake)],
                           capture_output=True, text=True, timeout=120)
    assert build.returncode == 0, build.stderr
    folder = module_folder(tmp_path, {API: PACKAGE_DIR / API, TRADER: fake})
    outcome = run_module(folder, (
        "for option in ('fund', 'position', 'trade', 'entrust'):\n"
        "    out[option] = m.query_trader_all_info('127.0.0.1', '1', 'u', 'p', option)\n"))
    assert outcome["fund"]["data"]["交易日"] == "D" * 32
    assert outcome["fund"]["data"]["账户权益"] == 1.0
    assert outcome["position"]["data"] == [
        {"contract": "A" * 32, "direction": "B" * 8, "today_position": 1.0,
         "yesterday_position": 2.0, "total_position": 3.0, "position_profit": 4.0,
         "use_margin": 5.0}]
    assert outcome["trade"]["data"] == [
        {"contract": "A" * 32, "direction": "B" * 8, "offset": "C" * 16, "price": 6.0,
         "volume": 7, "time": "E" * 16, "trade_id": "F" * 32, "entrust_serial_no": "G" * 32}]
    assert outcome["entrust"]["data"] == [
        {"contract": "A" * 32, "direction": "B" * 8, "offset": "C" * 16, "status": "H" * 32,
         "price": 8.0, "entrust_volume": 9, "deal_volume": 10, "time": "E" * 16,
         "entrust_serial_no": "G" * 32}]
