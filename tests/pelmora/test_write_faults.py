"""Faults at every write, against the real services: a service is stopped, paused or has its
connections dropped just before one call of a write, through the object's own client. Each
case checks the answer, that nothing the write keeps is lost, and that the same call made
again once the service is back completes the work.

The demo account 80050021 under env "prod": its signal hash and split-mode record are on the
"prod" cache, the copy account's hash on the central one, everything else in ClickHouse.
"""
from __future__ import annotations

import json
import multiprocessing
import os
import re
import signal
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from dataclasses import dataclass

import pytest
import redis
from clickhouse_connect.driver.exceptions import OperationalError

from pelmora.Pelmora import Pelmora
from services.demo import desk
from services.stack import clients, lifecycle, paths, procs

MAIN, COPY = desk.MAIN.account_id, desk.COPY.account_id
MODE_A, MODE_B = desk.SPLIT_MODES
DAY = "20241008"  # no demo rows, no demo hash
OTHER_FIELD = "80059999_zn2501"  # another account's signal: never touched
OPEN = desk.OPEN_END

pytestmark = pytest.mark.stack_reset("factors.t_order_dtl", "factors.t_account_info", "factors.TWAP_config",
                                     "strategy.param_modify_log", "redis:central", "redis:prod")


# --- the faults -----------------------------------------------------------------------------

class Outage:
    """Stops, pauses or drops the connections of the stack's own service processes, and
    brings every one of them back, also when a test fails."""

    def __init__(self):
        self.stopped: set[str] = set()
        self.paused: list[int] = []

    def _pid(self, name):
        pid = procs.read_pid(name)
        if pid is None or not procs.pid_alive(pid):
            pytest.skip(f"{name} was not started by this stack, so it cannot be stopped here")
        return pid

    def stop(self, name):
        self._pid(name)
        if name.startswith("redis-"):
            clients.redis(name.removeprefix("redis-")).save()  # a real cache keeps its data
        lifecycle.down({name})
        self.stopped.add(name)

    def pause(self, name):
        pid = self._pid(name)
        os.kill(pid, signal.SIGSTOP)
        self.paused.append(pid)

    def drop(self, name):
        assert name.startswith("redis-")
        clients.redis(name.removeprefix("redis-")).client_kill_filter(_type="normal", skipme=True)

    def restore(self):
        for pid in self.paused:
            os.kill(pid, signal.SIGCONT)
        self.paused.clear()
        if self.stopped:
            lifecycle.up(set(self.stopped))
            for name in self.stopped:
                (paths.REDIS_DIR / name.removeprefix("redis-") / "dump.rdb").unlink(missing_ok=True)
            self.stopped.clear()


@pytest.fixture
def outage(stack):
    out = Outage()
    yield out
    out.restore()


class Tripwire:
    """The object's real client or cache, with an action run just before the nth call of one
    of its methods; everything else passes through."""

    def __init__(self, real, method, nth, action):
        self.real, self.method, self.nth, self.action, self.seen = real, method, nth, action, 0
        self.tripped = False

    def __getattr__(self, name):
        attr = getattr(self.real, name)
        if name != self.method:
            return attr

        def call(*args, **kwargs):
            self.seen += 1
            if self.seen == self.nth:
                self.tripped = True
                self.action()
            return attr(*args, **kwargs)
        return call


# --- the writes -----------------------------------------------------------------------------
# Each write: prepare (a first, successful call whose result must survive), run (the call
# under the fault), kept (what must hold right after the failure; `unsure` when the call met
# a stalled service, which may still apply it) and done (the state after the retry). `ctx`
# carries what prepare found between them.

def signal_rows(*contracts, position=1):
    return [{"trading_day": DAY, "contract": c, "position": position, "direction": "L", "signal_date": "20241007",
             "order_typ": "intraday_trading", "trade_time": "D", "feature": 0} for c in contracts]


def table_rows(ch, account, live_only=False):
    where = " and delete_tag is null" if live_only else ""
    got = ch.query("select contract, position, create_time, delete_tag from factors.t_order_dtl where "
                   f"trading_day = '{DAY}' and account_id = '{account}'{where} order by contract, create_time")
    return got.result_set


class SignalWrite:
    """Upload of rb2501 and ag2412 replacing an earlier rb2501 and cu2411, with use_redis and
    the copy account. Calls: main pipeline 1 and 2 (the two passes, a HSET per field), hkeys,
    pipeline 3 (HDEL of cu2411); command 1 soft-delete, 2 the insert of both rows; the copy's
    pipelines 1-3 and hkeys on its cache; command 3 copy soft-delete, 4 the copy's insert."""
    NEW = signal_rows("ag2412", "rb2501", position=5)

    def prepare(self, account, ctx):
        for name in ("prod", "central"):
            clients.redis(name).hset(DAY, OTHER_FIELD, "{}")
        assert account.fun_update_signal(signal_rows("rb2501", "cu2411"), use_redis=True)["code"] == 0
        ctx["earlier"] = {who: table_rows(ctx["ch"], who) for who in (MAIN, COPY)}

    def run(self, account):
        return account.fun_update_signal(self.NEW, use_redis=True)

    def kept(self, account, ctx, unsure=False):
        for who in (MAIN, COPY):
            rows = table_rows(ctx["ch"], who)
            # every earlier row is still there, live or marked as replaced
            assert {r[:3] for r in ctx["earlier"][who]} <= {r[:3] for r in rows if r[3] in (None, 2)}
            # an insert lands whole or not at all
            assert sorted(r[0] for r in rows if r[1] == 5) in ([], ["ag2412", "rb2501"])
        for name in ("prod", "central"):
            assert clients.redis(name).hget(DAY, OTHER_FIELD) == "{}"
        # the snapshot is still the earlier upload's, so the retry uploads again
        assert account.update_df["contract"].tolist() == ["cu2411", "rb2501"]

    def done(self, account, answer, ctx):
        at = re.search(r"\S+ \S+$", answer["msg"]).group(0)
        for who, cache in ((MAIN, "prod"), (COPY, "central")):
            assert table_rows(ctx["ch"], who, live_only=True) == [("ag2412", 5, at, None), ("rb2501", 5, at, None)]
            fields = {f: json.loads(v) for f, v in clients.redis(cache).hgetall(DAY).items()}
            assert {f: (v["position"], v["feature"], v["update_time"]) for f, v in fields.items()
                    if f != OTHER_FIELD} == {f"{who}_ag2412": (5, 0, at), f"{who}_rb2501": (5, 0, at)}
            assert fields[OTHER_FIELD] == {}
        assert account.fun_update_signal(self.NEW, use_redis=True)["msg"].startswith("和上次一致")


def register(ch):
    return sorted(ch.query("select trade_flag, env, zip_begindate, zip_enddate from factors.t_account_info "
                           f"where account_id = '{MAIN}'").result_set)


class StatusWrite:
    """Switch off. Calls: query 1 reads the current versions (prod and test), command 1
    closes them, 2-3 open the new ones."""

    def prepare(self, account, ctx):
        ctx["before"] = register(ctx["ch"])
        ctx["open_before"] = [v for v in ctx["before"] if v[3] == OPEN]
        assert len(ctx["open_before"]) == 2

    def run(self, account):
        return account.fun_update_sts(False)

    def kept(self, account, ctx, unsure=False):
        # the versions before the switch are all there, closed or open; any version the
        # failed switch opened is gone again when the store was there to take it back
        now = register(ctx["ch"])
        assert {v[:3] for v in ctx["before"]} <= {v[:3] for v in now}

    def done(self, account, answer, ctx):
        at = answer["msg"][-19:]
        assert answer == {"code": 0, "msg": f" 资金账号 {MAIN} trade flag is F  {at}"}
        now = register(ctx["ch"])
        assert [v for v in now if v[3] == OPEN] == [("F", "prod", at, OPEN), ("F", "test", at, OPEN)]
        assert [v for v in now if v[3] == at] == [v[:3] + (at,) for v in ctx["open_before"]]


def split_record():
    text = clients.redis("prod").hget("split_mode", MAIN)
    return re.search(r"'split_mode': '(\w+)'", text).group(1) if text else None


def log_count(ch, mode):
    return ch.query(f"select count() from strategy.param_modify_log where account_id = '{MAIN}' "
                    f"and split_mode = '{mode}'").result_set[0][0]


class SplitWrite:
    """A split-mode record written over mode A's: `mode` is the one the call writes and logs
    ("default" for the reset), `answered` checks the call's success answer. Calls of the set:
    query 1 the mode check, ping 1, command 1 the log row, hset 1 the record; the reset has
    no mode check."""

    def __init__(self, mode, call, answered):
        self.mode, self.call, self.answered = mode, call, answered

    def prepare(self, account, ctx):
        assert account.fun_set_split_mode(MODE_A, 1)["code"] == 0
        ctx["logged"] = log_count(ctx["ch"], self.mode)

    def run(self, account):
        return self.call(account)

    def kept(self, account, ctx, unsure=False):
        # the previous record stays in place, unless the record's own write timed out:
        # a stalled cache may still apply it once it runs again
        assert split_record() in ((MODE_A, self.mode) if unsure else (MODE_A,))
        assert log_count(ctx["ch"], self.mode) in (ctx["logged"], ctx["logged"] + 1)

    def done(self, account, answer, ctx):
        assert self.answered(answer), answer
        assert split_record() == self.mode and log_count(ctx["ch"], self.mode) >= ctx["logged"] + 1


def twap_rows(ch):
    return ch.query("select commodity, toString(update_time) from factors.TWAP_config where "
                    f"account_id = '{MAIN}' and commodity like 'F%' order by update_time, commodity").result_set


class TwapWrite:
    """Three settings. Calls: command 1, the insert of all three."""
    ROWS = [{"commodity": c, "if_twap": 1, "time_gap": 30, "volume": 2} for c in ("fa", "fb", "fc")]

    def prepare(self, account, ctx):
        ctx["before"] = twap_rows(ctx["ch"])

    def run(self, account):
        return account.fun_update_TWAP_info(self.ROWS)

    def kept(self, account, ctx, unsure=False):
        assert twap_rows(ctx["ch"]) == ctx["before"]  # none of the call's rows

    def done(self, account, answer, ctx):
        at = answer["msg"][-19:]
        assert answer == {"code": 0, "msg": f"更新3, {at}"}
        assert twap_rows(ctx["ch"]) == ctx["before"] + [("FA", at), ("FB", at), ("FC", at)]


WRITES = {
    "signal": SignalWrite(),
    "status": StatusWrite(),
    "split": SplitWrite(MODE_B, lambda account: account.fun_set_split_mode(MODE_B, 2),
                        lambda answer: answer["code"] == 0 and answer["msg"].endswith(f"split_mode: {MODE_B} ")),
    "reset": SplitWrite("default", lambda account: account.fun_back_to_default_split_mode(),
                        lambda answer: answer == {"code": 0, "msg": "success"}),
    "twap": TwapWrite(),
}

# How each write answers a store failure: the upload, the switch and the TWAP upload let the
# store's error reach the caller; the split-mode methods answer code 1 with its repr.
RAISES = {"signal", "status", "twap"}


@dataclass
class Case:
    write: str
    conn: str  # the object's attribute the fault waits on
    method: str
    nth: int
    fault: str  # "stop", "pause" or "drop"
    service: str

    def __str__(self):
        return f"{self.write}-{self.fault}-{self.service}-before-{self.method}{self.nth}"


CASES = [
    # signal upload and replication
    Case("signal", "redis_conn", "pipeline", 1, "stop", "redis-prod"),  # before any write
    Case("signal", "redis_conn", "pipeline", 2, "pause", "redis-prod"),  # between the two passes
    Case("signal", "redis_conn", "pipeline", 3, "drop", "redis-prod"),  # clean-up: reconnects at once
    Case("signal", "client", "command", 1, "stop", "clickhouse"),  # before the soft-delete
    Case("signal", "client", "command", 2, "stop", "clickhouse"),  # at the insert
    Case("signal", "copy_redis_conn", "pipeline", 1, "stop", "redis-central"),  # before the replication
    Case("signal", "copy_redis_conn", "pipeline", 3, "pause", "redis-central"),  # copy clean-up
    Case("signal", "client", "command", 3, "stop", "clickhouse"),  # before the copy's soft-delete
    Case("signal", "client", "command", 4, "stop", "clickhouse"),  # at the copy's insert
    # status switch
    Case("status", "client", "query", 1, "stop", "clickhouse"),  # before the read
    Case("status", "client", "command", 1, "stop", "clickhouse"),  # before the close
    Case("status", "client", "command", 2, "stop", "clickhouse"),  # after the close: the undo fails too
    Case("status", "client", "command", 3, "stop", "clickhouse"),  # between the new versions
    # split-mode set and reset
    Case("split", "client", "query", 1, "stop", "clickhouse"),  # the mode check
    Case("split", "redis_conn", "ping", 1, "pause", "redis-prod"),
    Case("split", "client", "command", 1, "stop", "clickhouse"),  # the log row
    Case("split", "redis_conn", "hset", 1, "stop", "redis-prod"),  # after the log row
    Case("reset", "redis_conn", "ping", 1, "stop", "redis-prod"),
    Case("reset", "redis_conn", "hset", 1, "pause", "redis-prod"),
    # TWAP upload
    Case("twap", "client", "command", 1, "stop", "clickhouse"),
]

def expected_error(case):
    """The error the fault gives the client that meets it."""
    if case.service == "clickhouse":
        return OperationalError
    return {"stop": redis.exceptions.ConnectionError, "pause": redis.exceptions.TimeoutError}[case.fault]


@pytest.mark.parametrize("case", CASES, ids=str)
def test_fault_before_a_write_then_retry(case, outage, ch_client):
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    write, ctx = WRITES[case.write], {"ch": ch_client}
    write.prepare(account, ctx)

    real = getattr(account, case.conn)
    setattr(account, case.conn, Tripwire(real, case.method, case.nth,
                                         lambda: getattr(outage, case.fault)(case.service)))
    if case.fault == "drop":
        # a connection the cache closed is opened again, and the write completes
        write.done(account, write.run(account), ctx)
        return
    error = expected_error(case)
    if case.write in RAISES:
        with pytest.raises(error):
            write.run(account)
    else:
        answer = write.run(account)
        # code 1 with the repr of the client's error
        assert answer["code"] == 1 and error.__name__ in answer["msg"], answer
    assert getattr(account, case.conn).tripped  # the write got as far as the case's call

    outage.restore()
    write.kept(account, ctx, unsure=case.fault == "pause")
    setattr(account, case.conn, real)
    write.done(account, write.run(account), ctx)


@pytest.mark.parametrize("fault, service", [("stop", "mariadb"), ("stop", "platform"), ("pause", "platform")])
def test_writes_do_not_depend_on(fault, service, outage, ch_client):
    """The writes use ClickHouse and the caches only: MariaDB and the risk platform may be
    away or stalled."""
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    prepared = {}
    for name, write in WRITES.items():
        prepared[name] = {"ch": ch_client}
        write.prepare(account, prepared[name])
    getattr(outage, fault)(service)
    for name, write in WRITES.items():
        write.done(account, write.run(account), prepared[name])


# --- interrupted and concurrent writers --------------------------------------------------------

class Interrupt:
    """The object's real client, with a KeyboardInterrupt right after the store answered the
    nth statement (query or command), as a Ctrl-C while waiting for that answer would give."""

    def __init__(self, real, nth):
        self.real, self.nth, self.seen = real, nth, 0

    def __getattr__(self, name):
        attr = getattr(self.real, name)
        if name not in ("query", "command"):
            return attr

        def call(*args, **kwargs):
            out = attr(*args, **kwargs)
            self.seen += 1
            if self.seen == self.nth:
                raise KeyboardInterrupt
            return out
        return call


def open_versions(ch):
    return sorted(v[:2] for v in register(ch) if v[3] == OPEN)


# A switch sends 1 the read, 2 the close, 3-4 the new versions; the undo the next call runs
# first sends 1 the removal, 2 the count, 3 the reopen.
@pytest.mark.parametrize("nth, undo_nth", [(1, None), (2, None), (3, None), (4, None), (2, 1), (3, 2), (3, 3)])
def test_interrupted_switch_is_taken_back_by_the_next_call(nth, undo_nth, ch_client, stack):
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    envs = [env for _, env in open_versions(ch_client)]
    assert envs == ["prod", "test"]
    real = account.client
    account.client = Interrupt(real, nth)
    with pytest.raises(KeyboardInterrupt):
        account.fun_update_sts(False)
    if undo_nth:
        account.client = Interrupt(real, undo_nth)
        with pytest.raises(KeyboardInterrupt):
            account.fun_update_sts(False)
    account.client = real
    assert account.fun_update_sts(False)["code"] == 0
    assert open_versions(ch_client) == [("F", env) for env in envs]
    assert Pelmora(MAIN, desk.MAIN.acquire_key, "trader02").login == 0


def write_rounds(user, rounds):
    """One writer of the account: an upload and a switch per round."""
    account = Pelmora(MAIN, desk.MAIN.acquire_key, user, env="prod")
    codes = []
    for i in range(rounds):
        codes.append(account.fun_update_signal(signal_rows("ag2412", "rb2501", position=i + 1),
                                               use_redis=True)["code"])
        codes.append(account.fun_update_sts(i % 2 == 1)["code"])
    return codes


@pytest.mark.parametrize("workers", ["threads", "processes"])
def test_writers_of_one_account_take_turns(workers, ch_client, stack):
    if workers == "threads":
        pool = ThreadPoolExecutor(2)
    else:
        pool = ProcessPoolExecutor(2, mp_context=multiprocessing.get_context("fork"))
    with pool:
        codes = list(pool.map(write_rounds, ["trader02", "trader03"], [4, 4]))
    assert codes == [[0] * 8] * 2
    for who in (MAIN, COPY):
        # one live row per contract on both accounts
        assert sorted(r[0] for r in table_rows(ch_client, who, live_only=True)) == ["ag2412", "rb2501"]
    # one open version per environment
    assert [env for _, env in open_versions(ch_client)] == ["prod", "test"]


@pytest.mark.parametrize("write", ["signal", "status"])
def test_writer_gives_up_while_another_holds_the_account(write, ch_client, stack):
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    ctx = {"ch": ch_client}
    WRITES[write].prepare(account, ctx)
    other = clients.redis("central").lock(f"pelmora:write:{MAIN}", timeout=30)
    assert other.acquire(blocking=False)
    try:
        assert WRITES[write].run(account) == {"code": 1, "msg": "账户正在被另一个写入修改, 请稍后重试, 未做修改"}
        WRITES[write].kept(account, ctx)
    finally:
        other.release()
    WRITES[write].done(account, WRITES[write].run(account), ctx)


def test_switch_goes_on_without_the_central_cache(outage, ch_client):
    """The switch must still stop an account's trading while the central cache is away."""
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    ctx = {"ch": ch_client}
    WRITES["status"].prepare(account, ctx)
    outage.stop("redis-central")
    WRITES["status"].done(account, account.fun_update_sts(False), ctx)
