"""Platform faults, and errors raised inside a query: the library always
ends with StopTrader and the call never hangs on the platform."""

import socket
import time

import pytest

from pelmora.Stravenor import query_trader_all_info

from .conftest import account

POSITIONS = [
    {"contract": "rb2505", "direction": "Long", "today": 3, "yesterday": 2, "total": 5},
    {"contract": "boom2505", "direction": "Short", "today": 1, "yesterday": 0, "total": 1},
    {"contract": "IF2506", "direction": "Short", "today": 0, "yesterday": 2, "total": 2},
]
FAILED_FUND = {"账户权益": 0.0, "可用资金": 0.0, "占用保证金": 0.0, "平仓盈亏": 0.0,
               "持仓盈亏": 0.0, "交易日": "", "手续费": 0.0, "入金": 0.0, "出金": 0.0,
               "上次权益": 0.0}


def test_error_before_start_trader_still_calls_stop_trader(platform, trader_calls):
    platform.set_accounts({"80050021": account()})
    # A lone surrogate cannot be encoded as UTF-8: step one of the query fails.
    with pytest.raises(UnicodeEncodeError):
        platform.query("80050021", "fund", password="58\ud8000914")
    assert trader_calls.since_start() == {"StopTrader": 1}
    assert platform.sim.events() == []
    # The lock was released: the next call works.
    assert platform.query("80050021", "position") == {"登录成功": True, "data": []}


def test_slow_platform_within_the_time_limit(platform):
    platform.set_accounts({"80050021": account(delay=1.0, fund={"balance": 5.0})})
    result = platform.query("80050021", "fund")
    assert result["登录成功"] is True
    assert result["data"]["账户权益"] == 5.0


def test_silent_platform_is_a_failed_login_after_the_time_limit(platform):
    delay = 30.0
    platform.set_accounts({"80050021": account(delay=delay, positions=POSITIONS)})
    started = time.monotonic()
    result = platform.query("80050021", "position")
    waited = time.monotonic() - started
    assert result == {"登录成功": False, "data": []}
    assert ("request", "80050021") in platform.sim.events()
    assert waited < delay  # gave up on its own, did not wait for the answer


@pytest.mark.parametrize("drop_after", [0, 1, 2, 3, 4, 5])
def test_connection_dropped_mid_answer_is_a_failed_login(platform, drop_after):
    # Answer lines: OK, FUND, three POS, END; the connection drops inside line drop_after.
    platform.set_accounts({"80050021": account(positions=POSITIONS, fund={"balance": 9.0},
                                               drop_after=drop_after)})
    assert platform.query("80050021", "fund") == {"登录成功": False, "data": FAILED_FUND}
    assert platform.query("80050021", "position") == {"登录成功": False, "data": []}
    assert ("dropped", "80050021") in platform.sim.events()


def test_nothing_listening_is_a_failed_login():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    result = query_trader_all_info("127.0.0.1", str(port), "80050021", "580914", "fund")
    assert result == {"登录成功": False, "data": FAILED_FUND}


@pytest.mark.parametrize("ip, port", [
    ("127.0.0.1", ""), ("127.0.0.1", "abc"), ("127.0.0.1", "70000"), ("127.0.0.1", "10911x"),
    ("", "10911"), ("not-an-address", "10911"),
])
def test_unusable_address_is_a_failed_login(ip, port):
    result = query_trader_all_info(ip, port, "80050021", "580914", "position")
    assert result == {"登录成功": False, "data": []}
