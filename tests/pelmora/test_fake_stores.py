"""Routing, argument checks and failure answers on stand-in stores: no services needed."""
import datetime

import pandas as pd
import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora
from tests.fakes import UnknownStatement
from tests.fakes.catalogue import template_of

ACCOUNT, KEY, USER = "80050021", "k-80050021", "trader01"
READS = ["fun_read_position", "fun_read_order", "fun_read_deal", "fun_read_equity"]
BAD_DATE = {"code": 2, "msg": "日期格式有误, 请修改后重新执行"}


@pytest.fixture
def account(fake_stores):
    fake_stores.register(ACCOUNT, KEY)
    return Pelmora(ACCOUNT, KEY, USER)


def test_construction_on_stand_ins(fake_stores, capsys):
    fake_stores.register(ACCOUNT, KEY, copy_account="90050021")
    acct = Pelmora(ACCOUNT, KEY, USER, env="prod65")
    assert (acct.login, acct.connect_tag, acct.if_copy, acct.copy_account_id) == (0, 0, True, "90050021")
    assert acct.redis_conn.host == P.PROD_REDIS_HOSTS["prod65"]
    assert acct.copy_redis_conn.host == P.CENTRAL_HOST
    assert fake_stores.client_logins[0]["username"] == "pelmora"
    assert "连接数据库成功" in capsys.readouterr().out


def test_wrong_key_leaves_an_unusable_object(fake_stores):
    fake_stores.register(ACCOUNT, KEY)
    acct = Pelmora(ACCOUNT, "other", USER)
    assert (acct.login, acct.connect_tag) == (4003, 0)
    for read in READS:
        assert getattr(acct, read)("20240105", "20240105") == {"code": 1, "msg": "类初始化失败"}


@pytest.mark.parametrize("error, reaches_caller", [
    (OSError("refused"), False),
    (KeyboardInterrupt(), True),
])
def test_store_connection_failure(fake_stores, capsys, error, reaches_caller):
    fake_stores.clickhouse_error = error
    acct = Pelmora.__new__(Pelmora)
    acct.connect_tag = 0
    if reaches_caller:
        with pytest.raises(type(error)):
            acct.fun_clickhouse_connect()
        return
    acct.fun_clickhouse_connect()
    assert acct.connect_tag == 4003
    assert "{'code': 4003, 'msg': \"OSError('refused')\"}" in capsys.readouterr().out


def test_live_route_for_a_production_account_without_dates(account, fake_stores):
    fake_stores.snapshot = lambda *a: {"登录成功": True, "data": [{"x": 1}]}
    assert account.fun_read_deal()["data"] == [{"x": 1}]
    assert fake_stores.snapshot_calls == [(P.RISK_PLATFORM_HOST, "10911", ACCOUNT, "580914", "trade")]
    assert fake_stores.clickhouse.queries[-1].startswith(" select copy_account_id")  # no history query


@pytest.mark.parametrize("platform_open, login_ok, msg", [
    (False, True, "风控平台连接失败, 请检查网络连接"),
    (True, False, "风控平台实时数据查询失败, 请检查账号信息"),
])
def test_live_failures(account, fake_stores, platform_open, login_ok, msg):
    fake_stores.platform_open = platform_open
    fake_stores.snapshot = lambda *a: {"登录成功": login_ok}
    for read in READS:
        assert getattr(account, read)() == {"code": 1, "msg": msg}


@pytest.mark.parametrize("dates", [("", ""), ("2024010", "20240105"), ("20240105", "")])
def test_simulation_account_without_proper_dates_is_refused(account, fake_stores, dates):
    account.account_id = "70050021"
    for read in READS:
        assert getattr(account, read)(*dates) == BAD_DATE
    assert fake_stores.snapshot_calls == []


@pytest.mark.parametrize("bad", [b"8005", 8005, None])
@pytest.mark.parametrize("read", READS)
def test_non_text_account_id_is_answered_not_raised(account, bad, read):
    account.account_id = bad
    got = getattr(account, read)("20240105", "20240105")
    if read == "fun_read_order" and isinstance(bad, bytes):
        # b"8005"[0] is no "8": a simulation account, which has no order history
        assert got == {"code": 2, "msg": "仿真环境暂不提供实时/历史委托查询服务。"}
        return
    assert got["msg"].startswith("TypeError(")
    if read == "fun_read_equity":
        assert got["code"] == 1 and "line_no" not in got["msg"]
    else:
        assert got["code"] == 2 and "line_no: " in got["msg"]


@pytest.mark.parametrize("start", [None, 20240105, b"20240105"])
def test_non_text_dates_reach_the_caller(account, start):
    # The date checks come before the guarded history step, as the reads define them.
    with pytest.raises(TypeError):
        account.fun_read_deal(start, "20240105")


def test_interrupts_are_never_turned_into_answers(account, fake_stores):
    fake_stores.clickhouse.answer("trade.is_cdealdetail", error=KeyboardInterrupt())
    with pytest.raises(KeyboardInterrupt):
        account.fun_read_deal("20240105", "20240105")


def test_history_failure_names_the_failing_line(account, fake_stores):
    fake_stores.clickhouse.answer("trade.is_cdealdetail", error=RuntimeError("table gone"))
    got = account.fun_read_deal("20240105", "20240105")
    assert got["code"] == 2 and got["msg"].startswith("RuntimeError('table gone')line_no: ")
    assert int(got["msg"].rsplit(" ", 1)[1]) > 0


@pytest.mark.parametrize("host", [12, ("127.0.0.1",), "127.0.0.9"])
def test_probe_answers_false_for_any_bad_address(account, monkeypatch, host):
    monkeypatch.setattr(P, "socket", __import__("socket"))
    monkeypatch.setattr(P, "RISK_PLATFORM_HOST", host)
    assert account.risk_platform_connected() is False


SIGNALS = [{"trading_day": "20241008", "contract": c, "position": 1, "direction": "L", "signal_date": "20241007",
            "order_typ": "intraday_trading", "trade_time": "D", "feature": 0} for c in ("rb2501", "cu2411")]
REGISTER_COLUMNS = ["account_id", "account_key", "market_value", "strategy", "trade_flag", "acquire_info_key",
                    "user_id", "env"]


# Each write on the stand-in store: the answers it is taught, then the templates its statements
# must come from, in order. The store refuses any statement the templates do not make.
@pytest.mark.parametrize("call, taught, sent", [
    (lambda a: a.fun_update_signal(SIGNALS, use_redis=True), [],
     ["signal_replace", "signal_insert", "signal_replace_copy", "signal_insert"]),
    (lambda a: a.fun_delete_signal("20241008", "intraday_trading", "D", ["rb2501", "cu'2411"]),
     [("select count(*) n from factors.t_order_dtl", [[2]], ["n"])], ["signal_delete"]),
    (lambda a: a.fun_update_sts(False),
     [("select account_id, account_key", [[ACCOUNT, "ak", 1e6, "s", "T", KEY, USER, env] for env in ("prod", "test")],
       REGISTER_COLUMNS)],
     ["status_close", "status_insert_opening", "status_insert_opening"]),
    (lambda a: a.fun_update_TWAP_info(pd.DataFrame({"commodity": ["ag"], "if_twap": [1], "time_gap": [30],
                                                    "volume": [5.5]})), [], ["twap_insert_opening"]),
    (lambda a: a.fun_set_split_mode("43210001", 2), [("from strategy.param_account_info where", [[1]], ["n"])],
     ["split_change_log"]),
])
def test_writes_go_out_as_the_library_statements(fake_stores, call, taught, sent):
    fake_stores.register(ACCOUNT, KEY, copy_account="90050021")
    acct = Pelmora(ACCOUNT, KEY, USER)
    for needle, rows, columns in taught:
        fake_stores.clickhouse.answer(needle, rows=rows, columns=columns)
    got = call(acct)
    assert got["code"] == 0, got
    assert [template_of(c) for c in fake_stores.clickhouse.commands] == sent


def test_store_refuses_what_the_library_does_not_send(fake_stores):
    with pytest.raises(UnknownStatement):
        fake_stores.clickhouse.query(P._statement("login", now="n", account="a", key="k") + " or 1 = 1")
    with pytest.raises(UnknownStatement):
        fake_stores.clickhouse.command("DROP TABLE factors.t_order_dtl")


def test_history_rows_come_from_the_native_answer(account, fake_stores):
    fake_stores.clickhouse.answer("trade.is_cdealdetail", columns=["day", "trading_day", "instrument_id", "price", "volume"],
                                  rows=[[datetime.date(2024, 1, 5), "20240105", "rb2501", 3512.5, 2],
                                        [datetime.date(2024, 1, 5), "20240105", "cu'2411", None, 1]],
                                  types=["Date", "String", "String", "Nullable(Float64)", "Int32"])
    got = account.fun_read_deal("20240105", "20240105")
    assert got == {"code": 0, "msg": "success", "data": [
        {"day": "2024-01-05", "trading_day": "20240105", "instrument_id": "rb2501", "price": 3512.5, "volume": 2},
        {"day": "2024-01-05", "trading_day": "20240105", "instrument_id": "cu'2411", "price": None, "volume": 1}]}
    assert fake_stores.clickhouse.native == fake_stores.clickhouse.queries[-1:]
