"""The library holds one instance: overlapping calls from several threads
must each get their own account, and other threads keep running while a
call waits on the platform."""

import json
import subprocess
import sys
import threading

from .conftest import ROOT, account

ACCOUNTS = {
    "80050021": account(fund={"balance": 2100.0}, trading_day="20250314",
                        positions=[{"contract": "rb2505", "direction": "Long", "today": 3},
                                   {"contract": "rb2505", "direction": "Short", "today": 1}]),
    "80050077": account(fund={"balance": 7700.0}, trading_day="20250313",
                        positions=[{"contract": "IF2506", "direction": "Short", "today": 2}]),
}


def contracts(result):
    return [(p["contract"], p["direction"]) for p in result["data"]]


class QueryThread(threading.Thread):
    def __init__(self, platform, userid, option):
        super().__init__(daemon=True)
        self.args = (platform, userid, option)
        self.result = self.error = None

    def run(self):
        platform, userid, option = self.args
        try:
            self.result = platform.query(userid, option)
        except BaseException as exc:  # reported by the test
            self.error = exc


def test_overlapping_calls_each_get_their_account(platform):
    # The first account answers slowly, so the second call starts while the
    # first is still logged in.
    platform.set_accounts({**ACCOUNTS, "80050021": {**ACCOUNTS["80050021"], "delay": 1.0}})
    first = QueryThread(platform, "80050021", "position")
    second = QueryThread(platform, "80050077", "position")
    first.start()
    assert platform.sim.wait_for("request", "80050021")
    second.start()
    first.join(30)
    second.join(30)
    assert (first.error, second.error) == (None, None)
    assert contracts(first.result) == [("rb2505", "Long"), ("rb2505", "Short")]
    assert contracts(second.result) == [("IF2506", "Short")]
    # The second login only reached the platform after the first logged out.
    events = platform.sim.events()
    assert events.index(("request", "80050077")) > events.index(("login", "80050021"))


def test_many_threads_alternating_accounts(platform):
    platform.set_accounts(ACCOUNTS)
    threads = [QueryThread(platform, userid, option)
               for _ in range(3)
               for userid in ACCOUNTS
               for option in ("fund", "position")]
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)
    expected_balance = {"80050021": 2100.0, "80050077": 7700.0}
    for t in threads:
        assert t.error is None
        _, userid, option = t.args
        assert t.result["登录成功"] is True
        if option == "fund":
            assert t.result["data"]["账户权益"] == expected_balance[userid]
        else:
            assert len(t.result["data"]) == len(ACCOUNTS[userid]["positions"])


def test_other_threads_run_while_a_call_waits(platform):
    platform.set_accounts({"80050021": {**ACCOUNTS["80050021"], "delay": 2.0}})
    slow = QueryThread(platform, "80050021", "fund")
    slow.start()
    # The simulator is Python code in this process: it can only read the
    # login while the calling thread has released the GIL.
    assert platform.sim.wait_for("request", "80050021")
    assert slow.is_alive()
    slow.join(30)
    assert slow.error is None
    assert slow.result["data"]["账户权益"] == 2100.0


# A str subclass whose encode itself queries the platform, in each of the four
# arguments that are encoded for the login. Run in a child process: a call
# that waits for the lock its own thread holds never returns.
REENTRANT = r"""
import json, sys
from pelmora.Stravenor import query_trader_all_info as query

port = sys.argv[1]

class Reentrant(str):
    def encode(self, *args, **kwargs):
        inner = query("127.0.0.1", port, "80050077", "580914", "fund")
        self.inner_balance = inner["data"]["账户权益"]
        return str.encode(self, *args, **kwargs)

outcomes = []
for position in range(4):
    args = ["127.0.0.1", port, "80050021", "580914", "fund"]
    args[position] = Reentrant(args[position])
    outer = query(*args)
    outcomes.append([outer["data"]["账户权益"], args[position].inner_balance])
print(json.dumps(outcomes))
"""


def test_nested_call_from_an_argument_method_completes(platform):
    platform.set_accounts(ACCOUNTS)
    child = subprocess.run([sys.executable, "-c", REENTRANT, platform.port], cwd=ROOT,
                           capture_output=True, text=True, timeout=60)
    assert child.returncode == 0, child.stderr
    assert json.loads(child.stdout) == [[2100.0, 7700.0]] * 4
