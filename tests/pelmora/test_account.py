"""Construction, login, copy lookup, probe and the MySQL query against the local stack."""
import datetime as real_datetime
import socket
import threading
import time
import types

import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

PROD, PROD_KEY = "80050021", "k-80050021"
COPY = "80050077"
SIM, SIM_KEY = "60010001", "k-60010001"
LOGIN_OK = "----------连接数据库成功, 可进行查询， 当前版本更新于20250829----------"
LOGIN_BAD = "-----------连接成功但是入参有误------------"
CONNECTED = "{'code': 0, 'msg': 'connect to database'}"
UNREACHABLE = "127.0.0.9"  # a loopback address where nothing listens

pytestmark = pytest.mark.usefixtures("stack")


def add_register_row(ch, account, key, begin, end):
    """A register row; the values are escaped as the library escapes its own."""
    ch.command(P._fill(
        "INSERT INTO factors.t_account_info (account_id, acquire_info_key, zip_begindate, zip_enddate) "
        "VALUES ('{account}', '{key}', '{begin}', '{end}')", account=account, key=key, begin=str(begin), end=str(end)))


def test_construction_prints_two_lines_and_sets_the_attributes(capsys):
    p = Pelmora(PROD, PROD_KEY, "trader01")
    assert capsys.readouterr().out.splitlines() == [CONNECTED, LOGIN_OK]
    assert (p.env, p.login, p.connect_tag, p.account_id, p.acquire_key, p.user_id) == (
        "test", 0, 0, PROD, PROD_KEY, "trader01")
    assert p.update_times == 0 and p.update_df.empty
    assert p.if_copy is True and p.copy_account_id == COPY
    # ordinary instance attributes: readable and replaceable
    p.user_id = "someone"
    assert vars(p)["user_id"] == "someone"


def redis_host(conn):
    return conn.connection_pool.connection_kwargs["host"]


@pytest.mark.parametrize("env, host_key", [
    ("test", None), ("prod", "prod"), ("prod67", "prod67"), ("prod65", "prod65"),
    ("PROD", None), ("prod ", None), ("", None),
])
def test_env_selects_only_the_account_cache(env, host_key):
    p = Pelmora(SIM, SIM_KEY, "trader01", env)
    expected = P.PROD_REDIS_HOSTS[host_key] if host_key else P.CENTRAL_HOST
    assert redis_host(p.redis_conn) == expected
    assert p.redis_conn.ping() is True
    assert redis_host(p.copy_redis_conn) == P.CENTRAL_HOST
    assert p.client.query("select 1").result_set == [(1,)]
    assert p.login == 0


def test_env_default_is_test():
    assert Pelmora(SIM, SIM_KEY, "u").env == "test"


@pytest.mark.stack_reset("factors.t_account_info", "factors.t_assetacc_match")
def test_login_outcomes(ch_client, capsys, fresh_id):
    now = real_datetime.datetime.now().replace(microsecond=0)
    expired = fresh_id()
    add_register_row(ch_client, expired, "k", now - real_datetime.timedelta(days=30),
                     now - real_datetime.timedelta(days=1))
    cases = [
        (PROD, PROD_KEY, 0, LOGIN_OK),
        (PROD, "wrong-key", 4003, LOGIN_BAD),
        (expired, "k", 4003, LOGIN_BAD),
        ("00000000", "nobody", 4003, LOGIN_BAD),
    ]
    for account, key, login, line in cases:
        p = Pelmora(account, key, "u")
        assert (p.login, p.connect_tag) == (login, 0), account
        assert capsys.readouterr().out.splitlines()[-1] == line
    unusable = Pelmora(PROD, "wrong-key", "u")
    assert unusable.fun_read_position("20240101", "20240102") == {"code": 1, "msg": "类初始化失败"}


@pytest.mark.stack_reset("factors.t_account_info", "factors.t_assetacc_match")
def test_login_validity_end_is_exclusive(ch_client, clock, fresh_id):
    moment = real_datetime.datetime(2030, 6, 1, 9, 30, 0)
    ends_now, begins_now = fresh_id(), fresh_id()
    add_register_row(ch_client, ends_now, "k", "2030-01-01 00:00:00", "2030-06-01 09:30:00")
    add_register_row(ch_client, begins_now, "k", "2030-06-01 09:30:00", "2031-01-01 00:00:00")
    clock(moment)
    assert Pelmora(ends_now, "k", "u").login == 4003
    assert Pelmora(begins_now, "k", "u").login == 0


@pytest.mark.parametrize("key", ["x' or '1'='1", "k-80050021' or 1=1 --", "\\' or 1=1 or '"])
def test_quoted_values_cannot_break_out_of_the_login_check(key):
    p = Pelmora(PROD, key, "u")
    assert p.login == 4003


@pytest.mark.stack_reset("factors.t_account_info", "factors.t_assetacc_match")
def test_key_with_quote_and_backslash_matches_its_own_row(ch_client, fresh_id):
    account, key = fresh_id(), "o'brien\\key"
    add_register_row(ch_client, account, key, "2020-01-01 00:00:00", "2099-01-01 00:00:00")
    assert Pelmora(account, key, "u").login == 0


@pytest.mark.stack_reset("factors.t_account_info", "factors.t_assetacc_match")
def test_copy_lookup(ch_client, fresh_id):
    lonely = Pelmora(SIM, SIM_KEY, "u")
    assert lonely.if_copy is False
    with pytest.raises(AttributeError):
        lonely.copy_account_id

    account = fresh_id()
    add_register_row(ch_client, account, "k", "2020-01-01 00:00:00", "2099-01-01 00:00:00")
    ch_client.command("INSERT INTO factors.t_assetacc_match (account_id, copy_account_id, is_valid) "
                             f"VALUES ('{account}', 'C-OLD', 0)")
    p = Pelmora(account, "k", "u")
    assert p.if_copy is False and not hasattr(p, "copy_account_id")

    ch_client.command("INSERT INTO factors.t_assetacc_match (account_id, copy_account_id, is_valid) "
                             f"VALUES ('{account}', 'C-NEW', 1)")
    assert p.fun_check_replicate() is None
    assert (p.if_copy, p.copy_account_id) == (True, "C-NEW")


def test_clickhouse_down_at_construction(monkeypatch, capsys):
    monkeypatch.setattr(P, "CENTRAL_HOST", UNREACHABLE)
    with pytest.raises(AttributeError, match="'NoneType' object has no attribute 'query'"):
        Pelmora(PROD, PROD_KEY, "u")
    out = capsys.readouterr().out.splitlines()
    assert len(out) == 1 and out[0].startswith("{'code': 4003, 'msg': ") and "Error" in out[0]


def test_reconnect_after_the_store_went_away(monkeypatch, capsys):
    p = Pelmora(PROD, PROD_KEY, "u")
    old_client = p.client
    monkeypatch.setattr(P, "CENTRAL_HOST", UNREACHABLE)
    assert p.fun_clickhouse_connect() is None
    assert p.connect_tag == 4003 and p.client is old_client
    assert p.fun_read_deal("20240101", "20240102") == {"code": 1, "msg": "类初始化失败"}
    monkeypatch.undo()
    p.fun_clickhouse_connect()
    assert p.connect_tag == 0 and p.client is not old_client
    assert capsys.readouterr().out.splitlines()[-1] == CONNECTED


def test_redis_down_ends_construction(monkeypatch):
    import redis
    monkeypatch.setitem(P.PROD_REDIS_HOSTS, "prod", UNREACHABLE)
    with pytest.raises(redis.exceptions.ConnectionError):
        Pelmora(PROD, PROD_KEY, "u", "prod")


def test_ping_answering_false_skips_the_count(monkeypatch, capsys):
    # a real Redis cannot answer a ping with false
    p = Pelmora(PROD, "wrong-key", "u")
    capsys.readouterr()
    p.redis_conn = types.SimpleNamespace(ping=lambda: False)
    assert p.fun_login() == 0
    assert capsys.readouterr().out == "Redis 连接失败：ping 无响应\n"
    assert p.login == 4003  # never set back


@pytest.fixture
def probe_target(monkeypatch):
    def point_to(host):
        monkeypatch.setattr(P, "RISK_PLATFORM_HOST", host)
    return point_to


def test_probe_open_and_closed(probe_target):
    p = Pelmora(PROD, PROD_KEY, "u")
    listener = socket.socket()
    listener.bind(("127.0.0.11", 10911))
    listener.listen(4)
    try:
        probe_target("127.0.0.11")
        assert p.risk_platform_connected() is True
    finally:
        listener.close()
    started = time.monotonic()
    assert p.risk_platform_connected() is False
    assert time.monotonic() - started < 1.0  # refused at once, no time-out wait
    probe_target("no-such-host.invalid")
    assert p.risk_platform_connected() is False


def test_probe_gives_false_when_packets_are_dropped(probe_target):
    p = Pelmora(PROD, PROD_KEY, "u")
    # a listener whose backlog is full drops further SYNs
    listener = socket.socket()
    listener.bind(("127.0.0.12", 10911))
    listener.listen(0)
    fillers = []
    try:
        for _ in range(4):
            s = socket.socket()
            s.setblocking(False)
            s.connect_ex(("127.0.0.12", 10911))
            fillers.append(s)
        time.sleep(0.2)
        probe_target("127.0.0.12")
        started = time.monotonic()
        assert p.risk_platform_connected() is False
        assert 1.5 < time.monotonic() - started < 5
    finally:
        for s in fillers:
            s.close()
        listener.close()


def test_mysql_query_rows_empty_and_error():
    df = Pelmora.mysql_248("select 1 as a, 'x' as b union all select 2, 'y'")
    assert list(df.columns) == ["a", "b"] and df.values.tolist() == [[1, "x"], [2, "y"]]

    empty = Pelmora.mysql_248("select * from daily_return where 1 = 0")
    assert empty.empty and len(empty.columns) > 0

    import pymysql
    with pytest.raises(pymysql.err.ProgrammingError):
        Pelmora.mysql_248("select * from no_such_table")
    with pytest.raises(TypeError):
        Pelmora.mysql_248("do 1")  # no result description


def test_mysql_query_leaves_no_connection_open():
    import pymysql
    admin = pymysql.connect(host="127.0.0.1", port=3306, user="pelmora", password="quorvanix_5736#",
                            database="trade")
    try:
        def sessions():
            with admin.cursor() as c:
                c.execute("select count(*) from information_schema.processlist where user = 'pelmora'")
                return c.fetchone()[0]
        before = sessions()
        for _ in range(5):
            Pelmora.mysql_248("select 1")
        with pytest.raises(Exception):
            Pelmora.mysql_248("select * from no_such_table")
        time.sleep(0.2)
        assert sessions() == before
    finally:
        admin.close()
