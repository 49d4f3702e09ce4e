"""The stack's services answer as the library expects; start, reuse, conflicts, resets."""
from __future__ import annotations

import os
import socket
import sys

import pymysql
import pytest
import redis
from redis.backoff import NoBackoff
from redis.retry import Retry

from services import endpoints as ep
from services.stack import clients, components as components_mod, lifecycle, paths, procs, status


@pytest.mark.parametrize("endpoint", ep.REDIS_ENDPOINTS, ids=lambda e: e.name)
def test_each_redis_answers_ping_with_its_password_only(stack, endpoint):
    good = redis.Redis(host=endpoint.host, port=endpoint.port, password=endpoint.password, socket_timeout=3)
    assert good.ping() is True
    for password in ("wrong", None):
        bad = redis.Redis(host=endpoint.host, port=endpoint.port, password=password, socket_timeout=3,
                          retry=Retry(NoBackoff(), 0))
        with pytest.raises((redis.AuthenticationError, redis.ResponseError)):
            bad.ping()


def test_redis_caches_are_separate(redis_client):
    central, prod = redis_client("central"), redis_client("prod")
    assert central.hget("balance_warning", "80050021") != prod.hget("balance_warning", "80050021")
    assert central.exists("60010001") and not prod.exists("60010001")


def test_mysql_reads_daily_return(stack):
    conn = pymysql.connect(host=ep.CENTRAL_HOST, port=ep.MYSQL_PORT, user="pelmora", password="quorvanix_5736#",
                           database="trade", charset="utf8mb4")
    try:
        with conn.cursor() as cur:
            cur.execute("select count(*) from trade.daily_return")
            assert cur.fetchone()[0] == len(stack.data.mysql["daily_return"].rows)
    finally:
        conn.close()


def test_mysql_refuses_a_wrong_password(stack):
    with pytest.raises(pymysql.err.OperationalError) as info:
        pymysql.connect(host=ep.CENTRAL_HOST, port=ep.MYSQL_PORT, user=ep.MYSQL_USER, password="x",
                        database=ep.MYSQL_DATABASE)
    assert info.value.args[0] == 1045


def test_status_reports_every_store_answering(stack):
    reports = {r.name: r for r in status.report()}
    for name in ("clickhouse", "mariadb", "redis-central", "redis-prod", "redis-prod67", "redis-prod65"):
        assert reports[name].ok, reports[name].line()
    assert "register 13 rows" in reports["clickhouse"].detail
    assert reports["platform"].ok == stack.platform_available


def test_up_again_reuses_every_running_service(stack):
    states = lifecycle.up()
    assert {st.state for st in states} <= {"running", "reused", "not available"}
    assert {st.component.name for st in states if st.state == "not available"} <= {"platform"}


def test_engine_data_survives_a_restart(stack, ch_client):
    if stack.states["clickhouse"].state not in ("started", "running"):
        pytest.skip("the store on the port was not started by this stack")
    before = ch_client.query("SELECT count(), sum(position) FROM trade.is_cpositionstatics").result_set
    lifecycle.down({"clickhouse"})
    assert not procs.port_open(ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT)
    (state,) = lifecycle.up({"clickhouse"})
    assert state.state == "started"
    client = clients.clickhouse()
    try:
        assert client.query("SELECT count(), sum(position) FROM trade.is_cpositionstatics").result_set == before
    finally:
        client.close()


@pytest.mark.stack_reset("redis:central")
def test_cache_data_survives_a_restart(stack, redis_client):
    if stack.states["redis-central"].state not in ("started", "running"):
        pytest.skip("the cache on the port was not started by this stack")
    cache = redis_client("central")
    probe = os.urandom(8).hex()  # an older snapshot on disk cannot hold it
    cache.set("restart-probe", probe)
    before = {key: cache.type(key) for key in cache.keys("*")}
    cache.close()
    lifecycle.down({"redis-central"})
    assert not procs.port_open(ep.CENTRAL_HOST, ep.REDIS_PORT)
    (state,) = lifecycle.up({"redis-central"})
    assert state.state == "started"
    cache = redis_client("central")
    assert {key: cache.type(key) for key in cache.keys("*")} == before
    assert cache.get("restart-probe") == probe


def _empty_central_cache():
    clients.redis("central").flushdb()


def _empty_register():
    client = clients.clickhouse()
    client.command("TRUNCATE TABLE factors.t_account_info")
    client.close()


def _empty_daily_return():
    conn = clients.mysql()
    with conn.cursor() as cur:
        cur.execute("DELETE FROM daily_return")
    conn.commit()
    conn.close()


@pytest.mark.stack_reset("redis:central", "factors.t_account_info", "mysql:daily_return")
@pytest.mark.parametrize("empty, named", [
    (None, None),
    (_empty_central_cache, "redis-central (0 keys)"),
    (_empty_register, "clickhouse (0 register rows)"),
    (_empty_daily_return, "mariadb (0 trade.daily_return rows)"),
], ids=["all-there", "cache", "register", "mysql"])
def test_up_without_data_says_what_is_missing(stack, capsys, empty, named):
    from services.stack.__main__ import main

    if empty is not None:
        empty()
    assert main(["up", "--no-data"]) == 0
    out = capsys.readouterr().out
    if named is None:
        assert "missing" not in out, out
    else:
        missing = [line for line in out.splitlines() if line.startswith("demo data missing in: ")]
        assert missing == [f"demo data missing in: {named}"], out
        assert "python -m services.stack reload" in out


def _free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _listener(port: int, delay: float = 0.5) -> str:
    """Source of a process that listens on port after a short boot time."""
    return ("import socket, time\n"
            f"time.sleep({delay})\n"
            "s = socket.socket()\ns.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
            f"s.bind(('127.0.0.1', {port}))\ns.listen()\ntime.sleep(60)\n")


@pytest.fixture
def fake_components(monkeypatch):
    """Stand-in services on free ports; the stack sees only them. make(name, argv, answers) -> port."""
    made: list[components_mod.Component] = []
    monkeypatch.setattr(lifecycle, "components", lambda: list(made))

    def make(name, argv_for_port, answers_for_port):
        port = _free_port()
        made.append(components_mod.Component(
            name=name, label=f"{name} service", host="127.0.0.1", port=port, argv=lambda: argv_for_port(port),
            answers=lambda: answers_for_port(port), marker="fake-marker", start_timeout=5))
        return port

    yield make
    for c in made:
        pid = procs.read_pid(c.name)
        if pid is not None and procs.pid_alive(pid):
            procs.terminate(pid)
        procs.remove_pid(c.name)
        paths.log_file(c.name).unlink(missing_ok=True)


def _listens(port: int) -> bool:
    return procs.port_open("127.0.0.1", port)


def test_a_port_taken_by_something_else_is_named_and_nothing_starts(fake_components):
    first = fake_components("fake-a", lambda p: [sys.executable, "-c", _listener(p), "fake-marker"], _listens)
    taken = fake_components("fake-b", lambda p: [sys.executable, "-c", "raise SystemExit(1)"], lambda p: False)
    with socket.socket() as squatter:
        squatter.bind(("127.0.0.1", taken))
        squatter.listen()
        with pytest.raises(lifecycle.StackError) as info:
            lifecycle.up()
    assert f"127.0.0.1:{taken}" in str(info.value)
    assert f"pid {os.getpid()} " in str(info.value)  # the squatter is this test process
    assert procs.read_pid("fake-a") is None and not _listens(first)


def test_a_service_that_dies_at_start_is_reported_and_its_companions_stopped(fake_components):
    good = fake_components("fake-a", lambda p: [sys.executable, "-c", _listener(p, 0.1), "fake-marker"], _listens)
    fake_components("fake-b", lambda p: [sys.executable, "-c",
                                         "print('cannot open data dir', flush=True); raise SystemExit(3)"],
                    lambda p: False)
    with pytest.raises(lifecycle.StackError) as info:
        lifecycle.up()
    assert "exited" in str(info.value)
    assert "cannot open data dir" in str(info.value)
    assert procs.read_pid("fake-a") is None and not _listens(good)


def test_started_service_is_waited_for_reused_and_stopped(fake_components):
    port = fake_components("fake", lambda p: [sys.executable, "-c", _listener(p), "fake-marker"], _listens)
    (first,) = lifecycle.up()
    assert first.state == "started" and _listens(port)
    (second,) = lifecycle.up()
    assert (second.state, second.detail) == ("running", first.detail)
    assert lifecycle.down() == [f"fake            127.0.0.1:{port:<7} stopped ({first.detail})"]
    assert not _listens(port)
    assert procs.read_pid("fake") is None


def test_reset_stores_puts_demo_data_back(stack, reset_stores, redis_client, mysql_conn, ch_client):
    cache = redis_client("prod65")
    cache.set("scratch", "1")
    cache.hdel("deal_warning", "80050033")
    with mysql_conn.cursor() as cur:
        cur.execute("DELETE FROM commodity_info")
    mysql_conn.commit()
    ch_client.command("TRUNCATE TABLE strategy.param_user_info")
    reset_stores("redis:prod65", "mysql:commodity_info", "strategy.param_user_info")
    assert not cache.exists("scratch")
    assert cache.hget("deal_warning", "80050033")
    with mysql_conn.cursor() as cur:
        cur.execute("SELECT count(*) FROM commodity_info")
        assert cur.fetchone()[0] == len(stack.data.mysql["commodity_info"].rows)
    assert ch_client.command("SELECT count() FROM strategy.param_user_info") == len(
        stack.data.clickhouse["strategy.param_user_info"].rows)
    with pytest.raises(KeyError):
        reset_stores("factors.no_such_table")
