"""Views of the live cache: the account's position entry and its deals of a day, read back
from their stored texts without running them."""
import ast
import socket

import pytest
from redis.backoff import NoBackoff
from redis.retry import Retry

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from services import endpoints as ep
from services.demo import desk

MAIN = desk.MAIN.account_id
LAST, BEFORE = (desk.ymd(d) for d in reversed(desk.trading_days()[-2:]))
VIEWS = {"position": lambda a: a.fun_redis_position(), "deals": lambda a: a.fun_redis_deal(LAST)}


def test_position_is_the_stored_mapping(account, redis_client):
    text = redis_client("central").get(MAIN)
    got = account.fun_redis_position()
    assert got == {"code": 0, "data": ast.literal_eval(text)}
    assert isinstance(got["data"], dict) and got["data"]


def test_position_comes_from_the_environments_cache(stack, redis_client):
    prod = Pelmora(MAIN, desk.MAIN.acquire_key, desk.MAIN.user_id, env="prod")
    text = redis_client("prod").get(MAIN)
    assert text != redis_client("central").get(MAIN)
    assert prod.fun_redis_position() == {"code": 0, "data": ast.literal_eval(text)}


@pytest.mark.parametrize("dte", [LAST, BEFORE, int(LAST)])
def test_deals_keep_the_stored_order(account, redis_client, dte):
    texts = redis_client("central").lrange(f"{MAIN}_{dte}", 0, -1)
    assert len(texts) >= 3
    assert account.fun_redis_deal(dte) == {"code": 0, "data": [ast.literal_eval(t) for t in texts]}


@pytest.mark.parametrize("dte", ["20240101", "", "no-such-day"])
def test_day_without_deals_is_an_empty_list(account, dte):
    assert account.fun_redis_deal(dte) == {"code": 0, "data": []}


def test_missing_position_entry_fails_as_evaluating_nothing(account):
    account.account_id = desk.IDLE.account_id  # nothing cached for it
    assert account.fun_redis_position() == {
        "code": 1, "msg": "TypeError('eval() arg 1 must be a string, bytes or code object')"}


@pytest.mark.stack_reset("redis:central")
@pytest.mark.parametrize("view", VIEWS)
@pytest.mark.parametrize("text, error", [
    ("{'rb2501': {'position': 3}", "SyntaxError("),
    ("null", "NameError(\"name 'null' is not defined\")"),
    ("__import__('os').system('touch {marker}')", "ValueError("),
    ("open('{marker}', 'w').write('x')", "ValueError("),
    ("[x for x in ().__class__.__base__.__subclasses__()]", "ValueError("),
])
def test_bad_or_hostile_texts_fail_and_run_nothing(account, redis_client, tmp_path, view, text, error):
    marker = tmp_path / "ran"
    text = text.replace("{marker}", str(marker))
    cache = redis_client("central")
    cache.set(MAIN, text)
    cache.delete(f"{MAIN}_{LAST}")
    # The bad text among good ones: the whole list fails.
    cache.rpush(f"{MAIN}_{LAST}", "{'trade_id': 'T1'}", text, "{'trade_id': 'T2'}")
    got = VIEWS[view](account)
    assert got["code"] == 1 and list(got) == ["code", "msg"]
    assert got["msg"].startswith(error)
    assert not marker.exists()


@pytest.mark.stack_reset("redis:central")
def test_literal_notation_of_the_writers(account, redis_client):
    import datetime
    value = {"ts": datetime.datetime(2024, 9, 30, 9, 30, 15, 120), "d": datetime.date(2024, 9, 30),
             "n": -1.5e-3, "t": (1, "a", None), "s": {True, False}, "b": b"\x00"}
    redis_client("central").set(MAIN, repr(value))
    assert account.fun_redis_position() == {"code": 0, "data": value}


def free_port():
    with socket.socket() as s:
        s.bind((ep.CENTRAL_HOST, 0))
        return s.getsockname()[1]


@pytest.mark.parametrize("view", VIEWS)
def test_redis_down(account, view):
    # No retries with back-off: a refused connection fails at once, with the same error.
    down = P.redis.Redis(host=ep.CENTRAL_HOST, port=free_port(), decode_responses=True, socket_timeout=3.0,
                         retry=Retry(NoBackoff(), 0))
    with pytest.raises(P.redis.ConnectionError) as raised:
        down.ping()
    account.redis_conn = down
    assert VIEWS[view](account) == {"code": 1, "msg": repr(raised.value)}


class PingFalse:
    """A connection whose ping answers false; the views must not read past it."""

    def ping(self):
        return False

    def __getattr__(self, name):
        raise AssertionError(f"{name} called after a false ping")


@pytest.mark.parametrize("view", VIEWS)
def test_ping_answering_false(account, view):
    account.redis_conn = PingFalse()
    assert VIEWS[view](account) == {"code": 1, "msg": "redis.ping return False"}


@pytest.mark.parametrize("view", VIEWS)
def test_unusable_object(account, view):
    account.connect_tag = 4003
    account.redis_conn = PingFalse()
    assert VIEWS[view](account) == {"code": 1, "msg": "类初始化失败"}


def test_deal_key_of_a_number_account_id_fails_inside_the_guard(account):
    account.account_id = int(MAIN)
    assert account.fun_redis_deal(LAST) == {
        "code": 1, "msg": "TypeError(\"unsupported operand type(s) for +: 'int' and 'str'\")"}
    # The position key is the id's text, so the entry is found.
    assert account.fun_redis_position()["code"] == 0
