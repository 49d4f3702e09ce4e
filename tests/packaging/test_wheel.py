"""`pip wheel .` gives a wheel that installs into a fresh virtual environment, with its
dependencies resolved by pip, and imports there, away from the source tree."""
from __future__ import annotations

import json
import subprocess
import sys
import tomllib
import venv
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]

CHECK = r"""
import json, os, sys
import pelmora.Pelmora as P
from pelmora import Stravenor
folder = os.path.dirname(P.__file__)
print(json.dumps({
    "version": P.__version__,
    "files": sorted(os.listdir(folder)),
    "stravenor_beside": os.path.dirname(Stravenor.__file__) == folder,
    "snapshot_reexported": P.query_trader_all_info is Stravenor.query_trader_all_info,
    "day": P.Pelmora.unix_to_datetime(86400),
    "prefix": sys.prefix,
}))
"""


def run(*cmd, cwd):
    done = subprocess.run([str(c) for c in cmd], cwd=cwd, capture_output=True, text=True)
    assert done.returncode == 0, f"{' '.join(map(str, cmd))}\n{done.stdout}\n{done.stderr}"
    return done.stdout


@pytest.mark.slow
def test_wheel_installs_into_a_fresh_environment_and_imports(tmp_path):
    wheelhouse = tmp_path / "wheelhouse"
    # The build reuses the package's build dir (build/<wheel tag>), so this is incremental.
    run(sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps", "-q", "-w", wheelhouse, ".",
        cwd=ROOT)
    wheels = list(wheelhouse.glob("pelmora-*.whl"))
    assert len(wheels) == 1, wheels

    env_dir = tmp_path / "desk-env"
    venv.create(env_dir, with_pip=True, system_site_packages=False)
    python = env_dir / "bin" / "python"
    run(python, "-m", "pip", "install", "-q", "--disable-pip-version-check", wheels[0], cwd=tmp_path)
    run(python, "-m", "pip", "check", cwd=tmp_path)

    found = json.loads(run(python, "-c", CHECK, cwd=tmp_path))
    with open(ROOT / "pyproject.toml", "rb") as f:
        assert found["version"] == tomllib.load(f)["project"]["version"]
    assert Path(found["prefix"]).resolve() == env_dir.resolve()
    # Both modules and both native libraries sit side by side in the package folder.
    names = found["files"]
    for stem in ("Pelmora", "Stravenor"):
        assert any(n.startswith(stem + ".") and n.endswith(".so") for n in names), names
    assert "libtrader.so" in names and any(n.startswith("libthosttraderapi_se") for n in names), names
    assert {"__init__.py", "Pelmora.pyi", "Stravenor.pyi", "py.typed"} <= set(names)
    assert found["stravenor_beside"] and found["snapshot_reexported"]
    assert found["day"] == "1970-01-02"
