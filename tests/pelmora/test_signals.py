"""Signal upload, signal hash, replication to the copy account, read and delete, against the
local stack. The demo account 80050021 is paired with the copy account 80050077."""
import json
import re

import pytest

from pelmora.Pelmora import Pelmora
from services.demo import desk
from tests.pelmora.spy import Spy, spy_on

MAIN, COPY, SIM, LONG_ID = desk.MAIN.account_id, desk.COPY.account_id, desk.SIM.account_id, \
    desk.LONG_ID.account_id
NEW_DAY = "20241008"  # no demo rows, no demo hash
DEMO_DAY = desk.ymd(desk.trading_days()[-1])  # demo rows of both accounts and the day's hash
HASH_MEMBERS = ["trading_day", "account_id", "contract", "position", "direction", "signal_date", "order_typ",
                "update_time", "trade_time", "user_id", "feature"]
BAD_ARGS = {"code": 2, "msg": "必填字段未定义/格式有误, 请修改后重新执行"}
TIME = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}"

pytestmark = pytest.mark.stack_reset("factors.t_order_dtl", "redis:central", "redis:prod")


def writes(spies):
    return [(name, args) for spy in spies.values() for name, args in spy.calls
            if name in ("command", "hset", "hdel")]


def signal(contract, position=1, direction="L", order_typ="intraday_trading", trade_time="D", feature=0,
           day=NEW_DAY, signal_date="20241007"):
    return {"trading_day": day, "contract": contract, "position": position, "direction": direction,
            "signal_date": signal_date, "order_typ": order_typ, "trade_time": trade_time, "feature": feature}


def stored(ch, day, account, live_only=False):
    """Rows of the signal table as dicts, by contract then creation."""
    where = " and delete_tag is null" if live_only else ""
    got = ch.query(f"select * from factors.t_order_dtl where trading_day = '{day}' and account_id = "
                   f"'{account}'{where} order by contract, create_time")
    return [dict(zip(got.column_names, row)) for row in got.result_set]


def upload_time(answer):
    assert answer["code"] == 0, answer
    return re.search(TIME + "$", answer["msg"]).group(0)


@pytest.fixture
def solo(account):
    """The demo account with replication off."""
    account.if_copy = False
    return account


# --- checks and filter ------------------------------------------------------------------

@pytest.mark.parametrize("rows, msg", [
    ([{k: v for k, v in signal("rb2501").items() if k not in ("contract", "direction", "signal_date")}],
     "输入数据缺少 contract 列输入数据缺少 direction 列"),
    ([signal("rb2501"), signal("rb2501", order_typ="call_auction")], "输入数据有重复数据, 请修改后重新执行"),
    ({k: [] for k in signal("x")}, "输入数据为空, 请修改后重新执行"),
    ([signal("rb2501"), signal("cu2411", day="20241009")],
     "输入数据中的日期有不同值, 目前只支持单次上传单一日期......"),
    # days no read, delete or executor would find again
    ([signal("rb2501", day="2024-10-10")],
     "trading_day 须为八位日期文本, 如 \"20241008\", 输入为 '2024-10-10', 请修改后重新执行"),
    ([signal("rb2501", day=20241010)],
     "trading_day 须为八位日期文本, 如 \"20241008\", 输入为 20241010, 请修改后重新执行"),
    # values no column holds, named by column and first row
    ([signal("rb2501"), signal("cu2411", position=2**63)],
     "输入数据 position 列有无法写入的值 (行 1: 9223372036854775808), 未做修改"),
    ([signal("rb2501", position=10**30)],
     "输入数据 position 列有无法写入的值 (行 0: 1000000000000000000000000000000), 未做修改"),
    ([signal("rb2501"), signal("cu2411", signal_date={"d": 1}), signal("m2501", signal_date=[1])],
     "输入数据 signal_date 列有无法写入的值 (行 1: {'d': 1}), 未做修改"),
])
def test_rejections_touch_no_store(account, rows, msg):
    spies = spy_on(account)
    assert account.fun_update_signal(rows, use_redis=True) == {"code": 2, "msg": msg}
    assert sum(len(s.calls) for s in spies.values()) == 0


def test_object_not_initialised(account):
    account.login = 4003
    assert account.fun_update_signal([signal("rb2501")]) == {"code": 1, "msg": "类初始化失败"}
    assert account.fun_read_signal(NEW_DAY, NEW_DAY) == {"code": 1, "msg": "类初始化失败"}
    assert account.fun_delete_signal(NEW_DAY, "call_auction") == {"code": 1, "msg": "类初始化失败"}


@pytest.mark.parametrize("continuous, feature", [(False, 0), (True, 20)])
def test_optional_columns_get_defaults(solo, ch_client, continuous, feature):
    rows = [{k: v for k, v in signal(c).items() if k not in ("signal_date", "trade_time", "feature")}
            for c in ("rb2501", "cu2411")]
    solo.fun_update_signal(rows, continuous_holding=continuous)
    got = [(r["contract"], r["signal_date"], r["trade_time"], r["feature"]) for r in stored(ch_client, NEW_DAY, MAIN)]
    assert got == [("cu2411", "", "", feature), ("rb2501", "", "", feature)]


def test_filter_keeps_well_formed_rows_and_counts_them(solo, ch_client):
    rows = [signal("rb2501", position=0), signal("hc2501", direction="l"), signal("i2501", position=-1),
            signal("cu2411", feature=2), signal("al2411", order_typ="auction"), signal("au2412", trade_time="X"),
            signal("m2501", direction="S", order_typ="before_close", trade_time="", feature=1),
            dict(signal("y2501"), extra="dropped")]
    answer = solo.fun_update_signal(rows)
    at = upload_time(answer)
    assert answer["msg"] == f"输入8, 有效3 {at}"
    got = stored(ch_client, NEW_DAY, MAIN)
    assert [(r["contract"], r["position"], r["direction"], r["order_typ"], r["trade_time"], r["feature"])
            for r in got] == [("m2501", 1, "S", "before_close", "", 1), ("rb2501", 0, "L", "intraday_trading", "D", 0),
                              ("y2501", 1, "L", "intraday_trading", "D", 0)]
    assert {(r["create_time"], r["update_time"], r["user_id"], r["data_source"], r["delete_tag"]) for r in got} == {
        (at, at, "trader01", "clickhouse", None)}


def test_no_row_passing_the_filter_fails_before_any_write(account):
    spies = spy_on(account)
    with pytest.raises(ValueError, match="max"):
        account.fun_update_signal([signal("rb2501", direction="B")], use_redis=True)
    assert writes(spies) == []


# --- the snapshot ---------------------------------------------------------------------

@pytest.mark.parametrize("change", [{}, {"use_redis": True}, {"continuous_holding": True}])
def test_same_upload_twice_sends_nothing_unless_a_flag_changes(account, change):
    rows = [signal("rb2501"), signal("cu2411", position=3)]
    account.fun_update_signal(rows)
    spies = spy_on(account)
    answer = account.fun_update_signal(rows, **change)
    if change:
        assert not answer["msg"].startswith("和上次一致") and writes(spies)
    else:
        assert re.fullmatch("和上次一致, 输入2, 有效2 " + TIME, answer["msg"]) and answer["code"] == 0
        assert writes(spies) == []


@pytest.mark.parametrize("where, fail", [("client", ("command", 2)), ("copy_redis_conn", ("hset", 2)),
                                         ("client", ("command", 4))])
def test_failed_upload_sent_again_is_uploaded_again(account, ch_client, redis_client, where, fail):
    """Commands of this upload: main soft-delete, main insert, copy soft-delete, copy insert."""
    rows = [signal("rb2501"), signal("cu2411")]
    real = {attr: getattr(account, attr) for attr in ("client", "redis_conn", "copy_redis_conn")}
    spy_on(account, fail=fail, where=where)
    with pytest.raises(ConnectionError):
        account.fun_update_signal(rows)
    assert account.update_df.empty
    for attr, conn in real.items():
        setattr(account, attr, conn)
    at = upload_time(account.fun_update_signal(rows))
    for who in (MAIN, COPY):
        live = stored(ch_client, NEW_DAY, who, live_only=True)
        assert [(r["contract"], r["create_time"]) for r in live] == [("cu2411", at), ("rb2501", at)]
    copy_hash = redis_client("central").hgetall(NEW_DAY)
    assert sorted(copy_hash) == [f"{COPY}_cu2411", f"{COPY}_rb2501"]
    assert account.fun_update_signal(rows)["msg"].startswith("和上次一致")


def test_each_side_inserts_its_rows_in_one_statement(ch_client, stack):
    odd_user = "o'brien\\"
    account = Pelmora(MAIN, desk.MAIN.acquire_key, odd_user)
    spies = spy_on(account)
    at = upload_time(account.fun_update_signal([signal("rb'2501"), signal("cu2411", position=2.5, feature=1)]))
    inserts = [args[0] for name, args in spies["client"].calls if name == "command" and "INSERT" in args[0]]
    columns = ("trading_day, contract, position, direction, signal_date, order_typ, trade_time, feature, "
               "account_id, user_id, create_time, update_time, data_source")
    user = "'o\\'brien\\\\'"
    assert inserts == [
        f"INSERT into factors.t_order_dtl ({columns}) values "
        f"('20241008', 'rb\\'2501', 1.0, 'L', '20241007', 'intraday_trading', 'D', 0, '{who}', {user}, '{at}', "
        f"'{at}', 'clickhouse'), "
        f"('20241008', 'cu2411', 2.5, 'L', '20241007', 'intraday_trading', 'D', 1, '{who}', {user}, '{at}', "
        f"'{at}', 'clickhouse');"
        for who in (MAIN, COPY)]
    for who in (MAIN, COPY):
        assert [(r["contract"], r["position"], r["user_id"]) for r in stored(ch_client, NEW_DAY, who)] == [
            ("cu2411", 2, odd_user), ("rb'2501", 1, odd_user)]


@pytest.mark.parametrize("value", [None, float("nan")])
def test_missing_text_refused_where_no_hash_is_written(solo, value):
    spies = spy_on(solo)
    answer = solo.fun_update_signal([signal("rb2501"), signal("cu2411", signal_date=value)])
    # a missing text shows as pandas keeps it: None, or NaN in a string column
    assert answer["code"] == 2
    assert re.fullmatch(r"输入数据 signal_date 列有无法写入的值 \(行 1: (None|nan)\), 未做修改", answer["msg"])
    assert writes(spies) == []


def test_upload_over_the_row_limit_touches_no_store(account):
    import pandas as pd
    n = 100_001
    table = pd.DataFrame({"trading_day": NEW_DAY, "contract": [f"c{i}" for i in range(n)], "position": 1,
                          "direction": "L", "order_typ": "intraday_trading"})
    spies = spy_on(account)
    assert account.fun_update_signal(table) == {
        "code": 2, "msg": "输入数据有效行数 100001 超过单次上传上限 100000, 未做修改"}
    assert writes(spies) == []


# --- the signal hash ----------------------------------------------------------------------

def test_hash_two_passes_end_with_callers_feature(solo, redis_client):
    central = redis_client("central")
    central.hset(DEMO_DAY, mapping={f"{LONG_ID}_al2411": "kept", f"{MAIN}_zz999": "stale"})
    before = central.hgetall(DEMO_DAY)
    others = {f: v for f, v in before.items() if not f.startswith(MAIN + "_")}
    assert any(f.startswith(SIM + "_") for f in others) and f"{MAIN}_rb2501" in before

    spies = spy_on(solo)
    rows = [signal("rb2501", feature=1, day=DEMO_DAY, signal_date="2024/09/27 夜盘"),
            signal("cu2411", position=2, direction="S", day=DEMO_DAY)]
    at = upload_time(solo.fun_update_signal(rows, use_redis=True))

    sets = [(args[1], json.loads(args[2])["feature"]) for name, args in spies["redis_conn"].calls if name == "hset"]
    assert sets == [(f"{MAIN}_rb2501", 21), (f"{MAIN}_cu2411", 20), (f"{MAIN}_rb2501", 1), (f"{MAIN}_cu2411", 0)]
    after = central.hgetall(DEMO_DAY)
    mine = {f: v for f, v in after.items() if f.startswith(MAIN + "_")}
    expected = {}
    for r in rows:
        record = dict(r, account_id=MAIN, update_time=at, user_id="trader01")
        expected[f"{MAIN}_{r['contract']}"] = json.dumps({k: record[k] for k in HASH_MEMBERS})
    assert mine == expected
    # decoded as JSON: no "\/" left behind, non-ASCII escaped as the standard writer does
    assert '"signal_date": "2024/09/27 \\u591c\\u76d8"' in mine[f"{MAIN}_rb2501"]
    assert {f: v for f, v in after.items() if not f.startswith(MAIN + "_")} == others


@pytest.mark.parametrize("cell, name", [({"signal_date": None}, "null"), ({"position": True}, "true"),
                                        ({"position": False}, "false")])
@pytest.mark.parametrize("use_redis", [True, False])
def test_hash_record_without_json_value_is_refused_before_any_write(account, cell, name, use_redis):
    """With use_redis off the copy's hash would still be written: refused all the same."""
    spies = spy_on(account)
    with pytest.raises(NameError, match=f"^name '{name}' is not defined$"):
        account.fun_update_signal([dict(signal("rb2501"), **cell)], use_redis=use_redis)
    assert writes(spies) == []


def test_continuous_holding_writes_once_and_removes_nothing(solo, redis_client, ch_client):
    central = redis_client("central")
    solo.fun_update_signal([signal("rb2501"), signal("cu2411")], use_redis=True)
    spies = spy_on(solo)
    solo.fun_update_signal([signal("rb2501", position=4, feature=1)], use_redis=True, continuous_holding=True)
    assert [n for n, _ in spies["redis_conn"].calls if n in ("hset", "hkeys", "hdel")] == ["hset"]
    assert json.loads(central.hget(NEW_DAY, f"{MAIN}_rb2501"))["feature"] == 21
    assert json.loads(central.hget(NEW_DAY, f"{MAIN}_cu2411"))["feature"] == 0
    live = stored(ch_client, NEW_DAY, MAIN, live_only=True)
    assert [(r["contract"], r["position"], r["feature"]) for r in live] == [
        ("cu2411", 1, 0), ("rb2501", 1, 0), ("rb2501", 4, 21)]


# --- soft-delete, read and delete ---------------------------------------------------------

def test_replace_marks_only_earlier_rows_and_reads_show_both_forms(solo, ch_client):
    t1 = upload_time(solo.fun_update_signal([signal("rb2501"), signal("cu2411")]))
    t2 = upload_time(solo.fun_update_signal([signal("rb2501", position=5), signal("m2501")]))
    got = [(r["contract"], r["position"], r["delete_tag"], r["create_time"], r["update_time"])
           for r in stored(ch_client, NEW_DAY, MAIN)]
    assert got == [("cu2411", 1, 2, t1, t2), ("m2501", 1, None, t2, t2), ("rb2501", 1, 2, t1, t2),
                   ("rb2501", 5, None, t2, t2)]

    t3 = upload_time(solo.fun_update_signal([signal("m2501", position=7)], continuous_holding=True))
    clean = solo.fun_read_signal(NEW_DAY, NEW_DAY)
    assert clean["code"] == 0 and clean["msg"] == "success"
    assert [(r["contract"], r["position"], r["create_time"]) for r in clean["data"]] == [
        ("m2501", 7, t3), ("rb2501", 5, t2)]
    assert list(clean["data"][0]) == ["trading_day", "account_id", "contract", "position", "direction",
                                      "signal_date", "create_time", "trade_time", "user_id"]
    history = solo.fun_read_signal(NEW_DAY, NEW_DAY, clean=False)["data"]
    assert sorted((r["contract"], r["position"]) for r in history) == [
        ("cu2411", 1), ("m2501", 1), ("m2501", 7), ("rb2501", 1), ("rb2501", 5)]

    assert solo.fun_delete_signal(NEW_DAY, "intraday_trading", "D", ["m2501"])["msg"].startswith("删除2 ")
    assert [r["contract"] for r in solo.fun_read_signal(NEW_DAY, NEW_DAY)["data"]] == ["rb2501"]
    assert sorted(r["contract"] for r in solo.fun_read_signal(NEW_DAY, NEW_DAY, False)["data"]) == [
        "cu2411", "rb2501", "rb2501"]


@pytest.mark.parametrize("args, deleted", [
    (("call_auction", "N", None), ["i2501"]),
    (("intraday_trading", "D", []), ["cu2411", "rb2501"]),
    (("intraday_trading", "D", ["rb2501", "zz999"]), ["rb2501"]),
    (("intraday_trading", "", None), ["au2412"]),
    (("before_close", "D", None), []),
    (("no_such_type", "D", None), []),
])
def test_delete_by_order_type_trade_time_and_contracts(account, ch_client, args, deleted):
    account.fun_update_signal([signal("rb2501"), signal("cu2411"), signal("au2412", trade_time=""),
                               signal("i2501", order_typ="call_auction", trade_time="N")])
    account.user_id = "trader02"
    spies = spy_on(account)
    answer = account.fun_delete_signal(NEW_DAY, *args)
    at = upload_time(answer)
    assert answer["msg"] == f"删除{len(deleted)} {at}"
    assert [n for n, _ in spies["client"].calls] == ["query"] + ["command"] * bool(deleted)
    marked = [(r["contract"], r["update_id"], r["update_time"]) for r in stored(ch_client, NEW_DAY, MAIN)
              if r["delete_tag"] == 1]
    assert marked == [(c, "trader02", at) for c in deleted]
    assert all(r["delete_tag"] is None for r in stored(ch_client, NEW_DAY, COPY))


@pytest.mark.parametrize("call", [
    lambda a: a.fun_delete_signal(),
    lambda a: a.fun_delete_signal(NEW_DAY),
    lambda a: a.fun_delete_signal(NEW_DAY, "call_auction", "D", ("rb2501",)),
    lambda a: a.fun_read_signal("2024101", NEW_DAY),
    lambda a: a.fun_read_signal(NEW_DAY, "202410081"),
])
def test_bad_read_and_delete_arguments(account, call):
    assert call(account) == BAD_ARGS


def test_read_range_on_demo_rows(account, demo_data):
    days = [desk.ymd(d) for d in desk.trading_days()[-4:]]
    rows = [r for r in demo_data.clickhouse["factors.t_order_dtl"].dicts() if r["account_id"] == MAIN]
    clean = account.fun_read_signal(days[0], days[-1])["data"]
    newest = {}
    for r in sorted((r for r in rows if r["delete_tag"] is None), key=lambda r: r["update_time"]):
        newest[(r["trading_day"], r["contract"])] = r["create_time"]
    assert {(r["trading_day"], r["contract"]): r["create_time"] for r in clean} == newest
    history = account.fun_read_signal(days[0], days[-1], False)["data"]
    assert len(history) == sum(r["delete_tag"] in (None, 2) for r in rows)
    assert account.fun_read_signal("2024-1-1", "2024-1-2") == {"code": 0, "msg": "success", "data": []}


# --- replication --------------------------------------------------------------------------

@pytest.mark.parametrize("use_redis", [False, True])
def test_replication_to_the_copy_account(ch_client, redis_client, use_redis):
    """Under env "prod" the account's hash is on the production cache, the copy's on the central one."""
    account = Pelmora(MAIN, desk.MAIN.acquire_key, "trader02", env="prod")
    earlier = {who: {(r["contract"], r["create_time"]): r["update_time"]
                     for r in stored(ch_client, DEMO_DAY, who, live_only=True)} for who in (MAIN, COPY)}
    assert earlier[MAIN] and earlier[COPY]
    rows = [signal("rb2501", feature=1, day=DEMO_DAY), signal("cu2411", position=0, day=DEMO_DAY)]
    at = upload_time(account.fun_update_signal(rows, use_redis=use_redis))

    source = "redis" if use_redis else "clickhouse"
    for who in (MAIN, COPY):
        live = stored(ch_client, DEMO_DAY, who, live_only=True)
        assert [(r["contract"], r["feature"], r["user_id"], r["create_time"], r["update_time"], r["data_source"])
                for r in live] == [("cu2411", 0, "trader02", at, at, source), ("rb2501", 1, "trader02", at, at,
                                                                                  source)]
    replaced = {who: {(r["contract"], r["create_time"]): r["update_time"] for r in stored(ch_client, DEMO_DAY, who)
                      if (r["contract"], r["create_time"]) in earlier[who] and r["delete_tag"] == 2}
                for who in (MAIN, COPY)}
    # the account's replaced rows carry the upload time, the copy's keep their own
    assert replaced[MAIN] == dict.fromkeys(earlier[MAIN], at)
    assert replaced[COPY] == earlier[COPY]

    copy_fields = {f: json.loads(v) for f, v in redis_client("central").hgetall(DEMO_DAY).items()
                   if f.startswith(COPY + "_")}
    assert {f: (v["account_id"], v["feature"], v["user_id"]) for f, v in copy_fields.items()} == {
        f"{COPY}_rb2501": (COPY, 1, "trader02"), f"{COPY}_cu2411": (COPY, 0, "trader02")}
    prod_fields = sorted(f for f in redis_client("prod").hkeys(DEMO_DAY) if f.startswith(MAIN + "_"))
    assert prod_fields == ([f"{MAIN}_cu2411", f"{MAIN}_rb2501"] if use_redis else [])


def test_continuous_upload_adds_copy_rows_and_keeps_earlier_ones(account, ch_client):
    account.fun_update_signal([signal("rb2501"), signal("cu2411")])
    account.fun_update_signal([signal("rb2501", position=9, feature=1)], continuous_holding=True)
    live = stored(ch_client, NEW_DAY, COPY, live_only=True)
    assert [(r["contract"], r["position"], r["feature"]) for r in live] == [
        ("cu2411", 1, 0), ("rb2501", 1, 0), ("rb2501", 9, 21)]


def test_replicate_save_without_pairing_changes_nothing(solo):
    import pandas as pd
    table = pd.DataFrame([dict(signal("rb2501"), account_id=MAIN)])
    spies = spy_on(solo)
    assert solo.fun_replicate_save(table, False) == 0
    assert table["account_id"].tolist() == [MAIN] and writes(spies) == []


# --- values that carry quotes ---------------------------------------------------------------

def test_quotes_and_backslashes_stay_inside_their_literals(ch_client, stack):
    odd_user, odd_contract = "o'brien\\", "rb'2501\\"
    account = Pelmora(MAIN, desk.MAIN.acquire_key, odd_user)
    account.if_copy = False
    account.fun_update_signal([signal(odd_contract), signal("cu2411")])
    got = stored(ch_client, NEW_DAY, MAIN)
    assert [(r["contract"], r["user_id"]) for r in got] == [("cu2411", odd_user), (odd_contract, odd_user)]
    answer = account.fun_delete_signal(NEW_DAY, "intraday_trading", "D", [odd_contract])
    assert answer["msg"].startswith("删除1 ")
    assert [(r["contract"], r["delete_tag"], r["update_id"]) for r in stored(ch_client, NEW_DAY, MAIN)] == [
        ("cu2411", None, None), (odd_contract, 1, odd_user)]
    assert [r["contract"] for r in account.fun_read_signal(NEW_DAY, NEW_DAY)["data"]] == ["cu2411"]
