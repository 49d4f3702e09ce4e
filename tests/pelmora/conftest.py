"""Fixtures of the account-object tests: an object for the demo production account, a
private risk-platform simulator the live reads are pointed at, and fresh account ids."""
import datetime
import json
import types
import uuid

import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from services import endpoints as ep

# The live reads reach the platform on its fixed port; a private simulator on another
# loopback address (beside the stack's own) lets each test choose what the platform holds.
PRIVATE_PLATFORM_HOST = ep.CENTRAL_HOST.rsplit(".", 1)[0] + ".13"


@pytest.fixture
def account(stack):
    """A usable object for the demo production account."""
    return Pelmora("80050021", "k-80050021", "trader01")


@pytest.fixture
def clock(monkeypatch):
    """clock(moment) fixes the time the library reads from then on: a datetime, or a text
    "YYYY-mm-dd HH:MM:SS"; clock.at is the time set."""
    class Clock:
        at = None

        def __call__(self, moment):
            if isinstance(moment, str):
                moment = datetime.datetime.strptime(moment, "%Y-%m-%d %H:%M:%S")
            self.at = moment
            monkeypatch.setattr(P, "datetime", fake)

    setting = Clock()

    class Frozen(datetime.datetime):
        @classmethod
        def now(cls, tz=None):
            return setting.at

    fake = types.ModuleType("datetime")
    fake.__dict__.update({k: v for k, v in vars(datetime).items() if not k.startswith("__")})
    fake.datetime = Frozen
    return setting


@pytest.fixture
def fresh_id():
    def make(prefix="8T"):
        return prefix + uuid.uuid4().hex[:6].upper()
    return make


@pytest.fixture
def private_platform(tmp_path, monkeypatch):
    """set_accounts(dict) writes what the private platform holds; the live reads go there."""
    from services.platform_sim import PlatformSimulator

    data = tmp_path / "accounts.json"
    data.write_text(json.dumps({"accounts": {}}), encoding="utf-8")
    sim = PlatformSimulator(data, host=PRIVATE_PLATFORM_HOST, port=10911).start()
    monkeypatch.setattr(P, "RISK_PLATFORM_HOST", PRIVATE_PLATFORM_HOST)

    def set_accounts(accounts):
        data.write_text(json.dumps({"accounts": accounts}, ensure_ascii=False), encoding="utf-8")
        return sim

    yield set_accounts
    sim.stop()
