"""Fixtures: the installed module, its trader library's call counts, and an
in-process platform simulator on a free loopback port."""

import ctypes
import json
import os
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
if str(ROOT) not in sys.path:
    sys.path.insert(0, str(ROOT))

from pelmora import Stravenor  # noqa: E402
from services.platform_sim import PlatformSimulator  # noqa: E402

PACKAGE_DIR = Path(Stravenor.__file__).resolve().parent
DEMO_DATA = ROOT / "services" / "platform_sim" / "demo_accounts.json"
PASSWORD = "580914"

FUNCTIONS = ("StartTrader", "GetResult", "GetPositionCount", "GetTradeCount", "GetOrderCount",
             "GetPosition", "GetTrade", "GetOrder", "StopTrader")


def write_accounts(path: Path, accounts: dict) -> None:
    """Replaces the data file in one step (new inode), as a platform operator would."""
    tmp = path.with_suffix(".tmp")
    tmp.write_text(json.dumps({"accounts": accounts}, ensure_ascii=False), encoding="utf-8")
    os.replace(tmp, path)


def account(**fields) -> dict:
    base = {"password": PASSWORD, "trading_day": "20250314",
            "fund": {}, "positions": [], "trades": [], "orders": []}
    base.update(fields)
    return base


class TraderCalls:
    """Call counts kept by the loaded libtrader.so (the same library instance
    the module uses: dlopen of the same file returns the same handle)."""

    def __init__(self):
        self._lib = ctypes.CDLL(str(PACKAGE_DIR / "libtrader.so"))
        self._lib.TraderCallCount.restype = ctypes.c_long
        self._lib.TraderCallCount.argtypes = [ctypes.c_char_p]
        self._base = self.snapshot()

    def snapshot(self) -> dict:
        return {name: self._lib.TraderCallCount(name.encode()) for name in FUNCTIONS}

    def since_start(self) -> dict:
        now = self.snapshot()
        return {name: now[name] - self._base[name] for name in FUNCTIONS if now[name] != self._base[name]}


@pytest.fixture
def trader_calls():
    return TraderCalls()


class Platform:
    """A simulator over a data file the test can rewrite between calls."""

    def __init__(self, sim: PlatformSimulator, data_path: Path):
        self.sim = sim
        self.data_path = data_path

    @property
    def port(self) -> str:
        return str(self.sim.port)

    def set_accounts(self, accounts: dict) -> None:
        write_accounts(self.data_path, accounts)

    def query(self, userid: str, option: str, password: str = PASSWORD) -> dict:
        return Stravenor.query_trader_all_info("127.0.0.1", self.port, userid, password, option)


@pytest.fixture
def platform(tmp_path):
    data = tmp_path / "accounts.json"
    write_accounts(data, {})
    sim = PlatformSimulator(data, "127.0.0.1", 0, idle_timeout=10.0)
    with sim:
        yield Platform(sim, data)


@pytest.fixture
def demo_platform():
    with PlatformSimulator(DEMO_DATA, "127.0.0.1", 0, idle_timeout=10.0) as sim:
        yield Platform(sim, DEMO_DATA)
