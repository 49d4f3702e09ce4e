"""Split modes, TWAP settings and the account figures, against the local stack."""
import datetime as real_datetime
import inspect
import math

import numpy as np
import pandas as pd
import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from services.demo import desk
from tests.pelmora.spy import spy_on

MAIN, COPY, IDLE = desk.MAIN.account_id, desk.COPY.account_id, desk.IDLE.account_id
MODE_A, MODE_B = desk.SPLIT_MODES
LABELS = ["拆单方式ID", "报单价格", "是否使用拆单", "总时长（分钟）", "报单时间间隔（秒）", "撤单时长（秒）",
          "拆单单笔最大手数", "拆单单笔最小手数"]
NOT_GIVEN = {"code": 2, "msg": "mode, effective_hour 不能为空"}
OUT_OF_RANGE = {"code": 2, "msg": "effective_hour 范围 0-24 "}
PING_FAILED = {"code": 1, "msg": "redis.ping return False"}
INIT_FAILED = {"code": 1, "msg": "类初始化失败"}

# What the store holds for the main account (own row over trader01's defaults per environment),
# and what the two selectable modes give it; NULLs of a row come from the user's defaults.
MAIN_TEST = [MAIN, "最新价", 1, 60, 20, 12, 5, 2]
MAIN_PROD = [MAIN, "最新价", 1, 60, 30, 12, 10, 2]
MAIN_MODE_A = [MAIN, "排队价", 1, 120, 60, 30, 3, 1]
MAIN_MODE_B = [MAIN, "对手价", 1, 15, 5, 10, 20, 1]
COPY_TEST = [COPY, "对手价", 1, 30, 20, 10, 5, 1]

AT = real_datetime.datetime(2024, 5, 6, 9, 30, 15, 250000)

pytestmark = pytest.mark.usefixtures("stack")


def labelled(*rows):
    return [dict(zip(LABELS, row)) for row in rows]


@pytest.fixture
def clock(clock):
    """The shared clock, set to AT."""
    clock(AT)
    return clock


@pytest.fixture
def central(redis_client):
    return redis_client("central")


def log_rows(ch_client, account_id, day=f"{AT:%Y-%m-%d}"):
    """The account's change-log rows of one day (the demo log holds other days)."""
    return ch_client.query("SELECT split_mode, toString(ts), effective_hour FROM strategy.param_modify_log "
                           f"WHERE account_id = '{account_id}' AND toString(ts) LIKE '{day}%' "
                           "ORDER BY ts, effective_hour").result_set


# --- split modes: query and help ---------------------------------------------------------

@pytest.mark.parametrize("account_id, key, env, data", [
    (MAIN, desk.MAIN.acquire_key, "test", [MAIN_TEST]),
    (MAIN, desk.MAIN.acquire_key, "prod", [MAIN_PROD]),
    (MAIN, desk.MAIN.acquire_key, "prod65", [MAIN_PROD]),  # any env but "test" reads as prod
    (COPY, desk.COPY.acquire_key, "test", [COPY_TEST]),  # no own row: the user's defaults
    (COPY, desk.COPY.acquire_key, "prod", []),  # no register row in prod
])
def test_standing_parameters_by_environment(account_id, key, env, data):
    p = Pelmora(account_id, key, "trader01", env)
    expected = {"code": 0, "msg": "success", "data": labelled(*data), "set_mode_info": {}}
    assert p.fun_search_split_mode("default") == expected
    # no record in the cache: "current" is the standing parameters
    assert p.fun_search_split_mode() == expected


def test_account_not_trading_has_no_parameters(account):
    account.account_id = IDLE  # registered in prod, trade_flag 'F'
    account.env = "prod"
    assert account.fun_search_split_mode("default") == {"code": 0, "msg": "success", "data": [],
                                                         "set_mode_info": {}}


def test_available_lists_the_selectable_modes(account):
    got = account.fun_search_split_mode(mode="available")
    assert (got["code"], got["msg"], got["set_mode_info"]) == (0, "success", {})
    rows = {row["拆单方式ID"]: row for row in got["data"]}
    assert sorted(rows) == [MODE_A, MODE_B] and all(list(r) == LABELS for r in got["data"])
    assert rows[MODE_A] == dict(zip(LABELS, [MODE_A, "排队价", 1, 120, 60, 30, 3, 1]))
    # values as the store gives them: the mode's own NULLs stay None (not filled from anyone's
    # defaults, not NaN), and the integers of their columns stay integers
    assert rows[MODE_B] == dict(zip(LABELS, [MODE_B, "对手价", 1, 15, 5, None, 20, None]))
    assert type(rows[MODE_A]["撤单时长（秒）"]) is int


@pytest.mark.parametrize("mode", ["Current", "", None, "available "])
def test_unknown_mode_is_refused(account, mode):
    assert account.fun_search_split_mode(mode) == {
        "code": 2, "msg": "mode枚举值需要在 ['current', 'available', 'default']之中 "}


def test_help_text(account):
    account.client = None  # needs no store
    assert account.fun_read_split_doc() == {"code": 0, "msg": (
        " 拆单帮助文档\n  简述：以下说明几个可以在盘中/盘后进行拆单方式调整的函数。\n"
        "  所有的自定义重设拆单方式, 需要上传生效时长，建议留有宽裕的时长。\n"
        "  如果想长期修改拆单方式，或新增拆单方式，请联系作者。该函数仅用于盘中临时调整，不建议长期使用。\n"
        "  fun_search_split_mode(mode='') ：查询当前账户的拆单方式、已选择的拆单方式、可供选择的拆单方式。\n ")}


@pytest.mark.stack_reset("redis:central")
@pytest.mark.parametrize("ts, hours, mode, in_force", [
    (AT - real_datetime.timedelta(hours=2), 2, MODE_B, False),  # ends exactly now
    (AT - real_datetime.timedelta(hours=2, microseconds=-1), 2, MODE_B, True),  # ends a microsecond from now
    (AT - real_datetime.timedelta(hours=2, seconds=-1), 2, MODE_B, True),
    (AT - real_datetime.timedelta(hours=2, seconds=1), 2, MODE_B, False),
    (AT - real_datetime.timedelta(minutes=29, seconds=59), 0.5, MODE_A, True),
    (AT - real_datetime.timedelta(minutes=30), 0.5, MODE_A, False),
    (AT, -1, "default", False),  # a reset is never in force
    (AT + real_datetime.timedelta(hours=1), 1, MODE_A, True),  # written ahead of this clock
])
def test_record_is_in_force_strictly_before_its_end(account, central, clock, ts, hours, mode, in_force):
    record = {"ts": ts, "effective_hour": hours, "split_mode": mode}
    central.hset("split_mode", MAIN, repr(record))
    got = account.fun_search_split_mode("current")
    mode_row = MAIN_MODE_B if mode == MODE_B else MAIN_MODE_A
    assert got == {"code": 0, "msg": "success", "data": labelled(mode_row if in_force else MAIN_TEST),
                   "set_mode_info": record if in_force else {}}


@pytest.mark.stack_reset("redis:central")
def test_record_of_another_account_is_ignored(account, central, clock):
    central.hset("split_mode", COPY, repr({"ts": AT, "effective_hour": 2, "split_mode": MODE_A}))
    assert account.fun_search_split_mode()["data"] == labelled(MAIN_TEST)


MARKER = "/tmp/pelmora-execution-record-ran"


@pytest.mark.stack_reset("redis:central")
@pytest.mark.parametrize("text, error", [
    (repr({"effective_hour": 2, "split_mode": MODE_A}), "KeyError('ts')"),
    (repr({"ts": AT, "split_mode": MODE_A}), "KeyError('effective_hour')"),
    (repr({"ts": AT, "effective_hour": 2}), "KeyError('split_mode')"),
    (repr({"ts": AT.date(), "effective_hour": 2, "split_mode": MODE_A}), "TypeError("),
    (repr({"ts": AT, "effective_hour": "2", "split_mode": MODE_A}), "TypeError("),
    ("{'ts': null}", "NameError("),
    ("{'ts': ", "SyntaxError("),
    # code, not a literal: refused without running
    (f"{{'ts': datetime.datetime.now(), 'effective_hour': __import__('os').system('touch {MARKER}'), "
     f"'split_mode': '{MODE_A}'}}", "ValueError("),
    (f"(open('{MARKER}', 'w').write('x'), {{}})[1]", "ValueError("),
])
def test_record_that_cannot_be_read_is_a_caught_failure(account, central, clock, text, error):
    central.hset("split_mode", MAIN, text)
    got = account.fun_search_split_mode()
    assert got["code"] == 1 and got["msg"].startswith(error) and list(got) == ["code", "msg"]
    assert not __import__("os").path.exists(MARKER)
    # the standing parameters stay readable
    assert account.fun_search_split_mode("default")["data"] == labelled(MAIN_TEST)


# --- split modes: set and reset ----------------------------------------------------------

@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
def test_set_for_two_hours_then_reset(account, central, clock, ch_client):
    got = account.fun_set_split_mode(MODE_B, 2)
    assert got == {"code": 0, "msg": f"success. start_time: 2024-05-06 09:30:15, effective_hour: 2, "
                                     f"split_mode: {MODE_B} "}
    record = {"ts": AT, "effective_hour": 2, "split_mode": MODE_B}
    assert central.hget("split_mode", MAIN) == repr(record)
    assert log_rows(ch_client, MAIN) == [(MODE_B, "2024-05-06 09:30:15", 2.0)]

    clock(AT + real_datetime.timedelta(hours=1, minutes=59, seconds=59, microseconds=999999))
    assert account.fun_search_split_mode("current") == {
        "code": 0, "msg": "success", "data": labelled(MAIN_MODE_B), "set_mode_info": record}
    assert account.fun_search_split_mode("default")["data"] == labelled(MAIN_TEST)

    reset_at = AT + real_datetime.timedelta(minutes=5, microseconds=1)
    clock(reset_at)
    assert account.fun_back_to_default_split_mode() == {"code": 0, "msg": "success"}
    assert central.hget("split_mode", MAIN) == repr({"ts": reset_at, "effective_hour": -1, "split_mode": "default"})
    assert log_rows(ch_client, MAIN) == [(MODE_B, "2024-05-06 09:30:15", 2.0),
                                              ("default", "2024-05-06 09:35:15", -1.0)]
    assert account.fun_search_split_mode() == {"code": 0, "msg": "success", "data": labelled(MAIN_TEST),
                                               "set_mode_info": {}}


@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
def test_second_set_replaces_the_record_and_both_are_logged(account, central, clock, ch_client):
    assert account.fun_set_split_mode(MODE_A, 1.5)["code"] == 0
    clock(AT + real_datetime.timedelta(minutes=10))
    assert account.fun_set_split_mode(mode=MODE_B, effective_hour=0.5)["msg"].endswith(
        "effective_hour: 0.5, split_mode: 43210002 ")
    assert central.hgetall("split_mode")[MAIN] == repr({"ts": clock.at, "effective_hour": 0.5, "split_mode": MODE_B})
    assert log_rows(ch_client, MAIN) == [(MODE_A, "2024-05-06 09:30:15", 1.5),
                                                  (MODE_B, "2024-05-06 09:40:15", 0.5)]
    assert account.fun_search_split_mode()["data"] == labelled(MAIN_MODE_B)


@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
@pytest.mark.parametrize("hours, written", [(np.float64(1.5), 1.5), (np.int64(3), 3)])
def test_hours_from_a_table_are_recorded_as_plain_numbers(account, central, clock, hours, written):
    assert account.fun_set_split_mode(MODE_A, hours)["code"] == 0
    assert central.hget("split_mode", MAIN) == repr({"ts": AT, "effective_hour": written, "split_mode": MODE_A})
    assert account.fun_search_split_mode()["set_mode_info"]["effective_hour"] == written


@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
@pytest.mark.parametrize("args, expected", [
    ((), NOT_GIVEN),
    ((MODE_A,), NOT_GIVEN),
    ((MODE_A, -1), NOT_GIVEN),
    (("", 2), NOT_GIVEN),
    ((MODE_A, 0), OUT_OF_RANGE),
    ((MODE_A, 24), OUT_OF_RANGE),
    ((MODE_A, -0.5), OUT_OF_RANGE),
    ((MODE_A, math.nan), OUT_OF_RANGE),
    (("default", 1), {"code": 2, "msg": "mode default 不在可选项目中"}),
    ((MAIN, 1), {"code": 2, "msg": f"mode {MAIN} 不在可选项目中"}),
    # the mode text stays inside its literal
    ((f"{MODE_A}' or '1'='1", 1), {"code": 2, "msg": f"mode {MODE_A}' or '1'='1 不在可选项目中"}),
    ((MODE_A + "\\", 1), {"code": 2, "msg": f"mode {MODE_A}\\ 不在可选项目中"}),
])
def test_set_refusals_write_nothing(account, central, ch_client, args, expected):
    before = (central.hgetall("split_mode"), log_rows(ch_client, MAIN, day=""))
    assert account.fun_set_split_mode(*args) == expected
    assert (central.hgetall("split_mode"), log_rows(ch_client, MAIN, day="")) == before


@pytest.mark.parametrize("hours", ["2", None])
def test_hours_that_do_not_compare_raise(account, hours):
    with pytest.raises(TypeError):
        account.fun_set_split_mode(MODE_A, hours)


class Cache:
    """The object's cache with some answers replaced."""

    def __init__(self, real, **replaced):
        self._real, self._replaced = real, replaced

    def __getattr__(self, name):
        return self._replaced.get(name) or getattr(self._real, name)


@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
@pytest.mark.parametrize("call", [
    lambda p: p.fun_set_split_mode(MODE_A, 2),
    lambda p: p.fun_back_to_default_split_mode(),
    lambda p: p.fun_margin_used(),
    lambda p: p.fun_last_trade(),
])
def test_cache_not_answering_the_ping(account, central, ch_client, call):
    before = (central.hgetall("split_mode"), log_rows(ch_client, MAIN, day=""))
    account.redis_conn = Cache(account.redis_conn, ping=lambda: False)
    assert call(account) == PING_FAILED
    assert (central.hgetall("split_mode"), log_rows(ch_client, MAIN, day="")) == before


@pytest.mark.stack_reset("strategy.param_modify_log", "redis:central")
def test_failed_record_write_leaves_the_log_row_and_the_previous_record(account, central, clock, ch_client):
    import redis
    previous = central.hget("split_mode", desk.LONG_ID.account_id)
    account.account_id = desk.LONG_ID.account_id

    lost = redis.ConnectionError("gone")

    def refuse(*args):
        raise lost

    account.redis_conn = Cache(account.redis_conn, hset=refuse)
    assert account.fun_set_split_mode(MODE_A, 2) == {"code": 1, "msg": repr(lost)}
    assert central.hget("split_mode", desk.LONG_ID.account_id) == previous
    assert log_rows(ch_client, desk.LONG_ID.account_id) == [(MODE_A, "2024-05-06 09:30:15", 2.0)]


def test_mode_text_that_is_no_text_is_a_caught_failure(account):
    got = account.fun_set_split_mode(43210001, 2)
    assert got["code"] == 1 and got["msg"].startswith("TypeError(")


# --- TWAP settings ------------------------------------------------------------------------

def twap_rows(ch_client, account_id, at):
    return ch_client.query("SELECT commodity, if_twap, time_gap, volume, account_id, toString(update_time) FROM "
                           f"factors.TWAP_config WHERE account_id = '{account_id}' AND update_time = '{at}' "
                           "ORDER BY commodity").result_set


@pytest.mark.stack_reset("factors.TWAP_config")
def test_twap_rows_written_and_read_back(account, clock, ch_client):
    at = "2024-05-06 09:30:15"
    table = pd.DataFrame({
        "commodity": ["ag", "rb", "cu", "i'x", "sc", "m"],
        "if_twap": [1, 2, 0, 1, 1, 1],  # 2: dropped
        "time_gap": [30, 10, 0, 12.5, -1, None],  # -1 and missing: dropped
        "volume": [5.5, 1, 0, 3, 1, 1],
        "note": [["ignored"]] * 6,  # unhashable: not even looked at
    })
    assert account.fun_update_TWAP_info(table) == {"code": 0, "msg": f"更新6, {at}"}
    assert twap_rows(ch_client, MAIN, at) == [
        ("AG", 1, 30.0, 5.5, MAIN, at), ("CU", 0, 0.0, 0.0, MAIN, at), ("I'X", 1, 12.5, 3.0, MAIN, at)]


@pytest.mark.stack_reset("factors.TWAP_config")
def test_twap_rows_go_out_as_one_statement(account, clock, ch_client):
    spies = spy_on(account)
    rows = [{"commodity": "i'x", "if_twap": 1, "time_gap": 12.5, "volume": 3},
            {"commodity": "rb", "if_twap": 0, "time_gap": 0, "volume": 1.5}]
    assert account.fun_update_TWAP_info(rows)["code"] == 0
    at = "2024-05-06 09:30:15"
    assert [args[0] for name, args in spies["client"].calls if name == "command"] == [
        'INSERT into factors.TWAP_config ("commodity", "if_twap", "time_gap", "volume", "account_id", '
        f'"update_time") values (\'I\\\'X\', 1, 12.5, 3.0, \'{MAIN}\', \'{at}\'), '
        f'(\'RB\', 0, 0.0, 1.5, \'{MAIN}\', \'{at}\');']
    assert twap_rows(ch_client, MAIN, at) == [("I'X", 1, 12.5, 3.0, MAIN, at), ("RB", 0, 0.0, 1.5, MAIN, at)]


@pytest.mark.parametrize("input_data, msg", [
    ({"commodity": ["ag"], "time_gap": [1]}, "输入数据缺少 if_twap 列输入数据缺少 volume 列"),
    ([], "输入数据缺少 commodity 列输入数据缺少 if_twap 列输入数据缺少 time_gap 列输入数据缺少 volume 列"),
    ({"commodity": ["ag", "ag"], "if_twap": [1, 0], "time_gap": [1, 1], "volume": [1, 1]},
     "输入数据有重复数据, 请修改后重新执行"),
    # compared as they are written: upper-cased
    ({"commodity": ["Rb", "RB"], "if_twap": [1, 0], "time_gap": [1, 1], "volume": [1, 1]},
     "输入数据有重复数据, 请修改后重新执行"),
    ({"commodity": [], "if_twap": [], "time_gap": [], "volume": []}, "输入数据为空, 请修改后重新执行"),
    ({"commodity": ["ag", "rb"], "if_twap": [1, 1], "time_gap": [1, 1], "volume": [1, 10**30]},
     "输入数据 volume 列有无法写入的值 (行 1: 1000000000000000000000000000000), 未做修改"),
    ({"commodity": ["ag"], "if_twap": [1], "time_gap": [2**63], "volume": [1]},
     "输入数据 time_gap 列有无法写入的值 (行 0: 9223372036854775808), 未做修改"),
    ({"commodity": [f"c{i}" for i in range(100_001)], "if_twap": 1, "time_gap": 1, "volume": 1},
     "输入数据有效行数 100001 超过单次上传上限 100000, 未做修改"),
])
def test_twap_input_refused(account, input_data, msg):
    spies = spy_on(account)
    assert account.fun_update_TWAP_info(input_data) == {"code": 2, "msg": msg}
    assert [name for name, _ in spies["client"].calls if name == "command"] == []


@pytest.mark.parametrize("row, error", [
    ({"commodity": 5, "if_twap": 1, "time_gap": 1, "volume": 1}, AttributeError),
    ({"commodity": "ag", "if_twap": 1, "time_gap": "x", "volume": 1}, TypeError),
])
def test_twap_bad_values_raise(account, row, error):
    with pytest.raises(error):
        account.fun_update_TWAP_info([row])


# --- account figures ----------------------------------------------------------------------

def demo_minimums(demo_data):
    return {r["name"]: r["min_amt"] for r in demo_data.clickhouse["factors.risk_config"].dicts()
            if r["category"] == "单笔最小开仓量" and r["is_valid"] == 1 and r["zip_enddate"] == desk.OPEN_END}


class Recording:
    """The object's client, keeping the result of each query it runs."""

    def __init__(self, real):
        self._real, self.results = real, []

    def query(self, text):
        self.results.append(self._real.query(text))
        return self.results[-1]


@pytest.mark.stack_reset("factors.risk_config")
def test_risk_configuration_last_row_wins(account, ch_client, demo_data):
    for begin, amount in (("2024-07-01 09:00:00", 3), ("2024-07-02 09:00:00", 7)):
        ch_client.command("INSERT INTO factors.risk_config (name, min_amt, category, is_valid, zip_begindate, "
                          f"zip_enddate) VALUES ('rb', {amount}, '单笔最小开仓量', 1, '{begin}', '{desk.OPEN_END}')")
    account.client = Recording(account.client)
    got = account.fun_read_info()
    rows = account.client.results[-1].result_set
    rb = [amount for name, amount in rows if name == "rb"]
    assert sorted(rb) == [1, 3, 7]
    assert got == {"code": 0, "msg": "success", "data": {**demo_minimums(demo_data), "rb": rb[-1]}}
    assert list(got["data"]) == list(dict.fromkeys(name for name, _ in rows))  # first appearance
    # one category, whatever is asked
    assert account.fun_read_info("单笔最大开仓量")["data"] == demo_minimums(demo_data) | {
        "rb": [a for n, a in account.client.results[-1].result_set if n == "rb"][-1]}


def test_margin_record_gets_the_register_market_value(account, central):
    stored = central.hget("balance_warning", MAIN)
    assert "'shares': 0" in stored
    got = account.fun_margin_used()
    assert got == {"code": 0, "data": {**eval(stored), "shares": desk.MAIN.market_value}}
    assert list(got) == ["code", "data"]


@pytest.mark.stack_reset("redis:central")
@pytest.mark.parametrize("account_id, text, error", [
    ("80059999", None, "KeyError('80059999')"),  # no field for the account
    (IDLE, "{'balance': 1.0}", "IndexError("),  # no trading register row
    (MAIN, "[1, 2]", "TypeError("),  # not a dict
    (MAIN, "{'balance': float('nan')}", "ValueError("),  # a call: refused, never run
    (MAIN, "{'balance': 1.0", "SyntaxError("),
])
def test_margin_failures(account, central, account_id, text, error):
    if text is not None:
        central.hset("balance_warning", account_id, text)
    account.account_id = account_id
    got = account.fun_margin_used()
    assert got["code"] == 1 and got["msg"].startswith(error)


def test_last_trade_passes_the_text_through(account, central):
    assert account.fun_last_trade() == {"code": 0, "data": central.hget("deal_warning", MAIN)}
    account.account_id = "80059999"
    assert account.fun_last_trade() == {"code": 1, "msg": "KeyError('80059999')"}


def test_figures_store_failure_is_answered(account):
    account.client = None
    assert account.fun_read_info() == {"code": 1, "msg": "AttributeError(\"'NoneType' object has no attribute 'query'\")"}


@pytest.mark.parametrize("call", [
    lambda p: p.fun_update_TWAP_info([]),
    lambda p: p.fun_last_trade(),
    lambda p: p.fun_margin_used(),
    lambda p: p.fun_read_info(),
    lambda p: p.fun_read_split_doc(),
    lambda p: p.fun_search_split_mode(),
    lambda p: p.fun_back_to_default_split_mode(),
    lambda p: p.fun_set_split_mode(MODE_A, 2),
])
def test_unusable_object(account, call):
    account.login = 4003
    assert call(account) == INIT_FAILED


def test_members_in_surface_order_with_their_defaults():
    names = list(vars(Pelmora))
    members = ["fun_update_TWAP_info", "fun_last_trade", "fun_margin_used", "fun_read_info", "fun_read_split_doc",
               "fun_search_split_mode", "fun_back_to_default_split_mode", "fun_set_split_mode"]
    start = names.index("fun_read_equity") + 1
    assert names[start:start + len(members)] == members
    defaults = {name: {k: v.default for k, v in inspect.signature(getattr(Pelmora, name)).parameters.items()
                       if v.default is not inspect.Parameter.empty}
                for name in ("fun_read_info", "fun_search_split_mode", "fun_set_split_mode")}
    assert defaults == {"fun_read_info": {"info": "单笔最小开仓量"}, "fun_search_split_mode": {"mode": "current"},
                        "fun_set_split_mode": {"mode": "", "effective_hour": -1}}
