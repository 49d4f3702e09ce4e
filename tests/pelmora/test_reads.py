"""Positions, orders, deals and equity: live through the real trader library and a
simulated platform, history from the local store."""
import datetime
import os
import time

import pandas as pd
import pytest

import pelmora.Pelmora as P

LIVE_OK = "查询成功（风控平台实时数据）"
BAD_DATE = {"code": 2, "msg": "日期格式有误, 请修改后重新执行"}
PLATFORM_DOWN = {"code": 1, "msg": "风控平台连接失败, 请检查网络连接"}
PLATFORM_REFUSED = {"code": 1, "msg": "风控平台实时数据查询失败, 请检查账号信息"}
NOT_LONG_SHORT = {"code": 1, "msg": "风控平台实时数据查询失败, 持仓数据有非LONG/SHORT的记录"}
READS = ["fun_read_position", "fun_read_order", "fun_read_deal", "fun_read_equity"]

FUND = {"balance": 1000000.5, "available": 800000.25, "curr_margin": 150000.0,
        "close_profit": 1200.0, "position_profit": -300.5, "commission": 45.6,
        "deposit": 10000.0, "withdraw": 500.0, "pre_balance": 990000.0}


def platform_account(**extra):
    acct = {"password": "580914", "trading_day": "20250314", "fund": FUND,
            "positions": [], "trades": [], "orders": []}
    acct.update(extra)
    return acct


# --- live -----------------------------------------------------------------------------

def test_live_position_summary_nets_per_contract(account, private_platform):
    private_platform({"80050021": platform_account(positions=[
        {"contract": "rb2505", "direction": "Long", "today": 3, "yesterday": 2, "total": 5,
         "profit": 1250.5, "margin": 21190.0},
        {"contract": "IF2401&IF2402", "direction": "Long", "today": 9, "yesterday": 9, "total": 18,
         "profit": 1.0, "margin": 1.0},
        {"contract": "au2506", "direction": "Long", "today": 1, "yesterday": 0, "total": 1,
         "profit": -860.0, "margin": 69082.0},
        {"contract": "rb2505", "direction": "Short", "today": 1, "yesterday": 4, "total": 5,
         "profit": -410.0, "margin": 20000.0},
        {"contract": "rb2505", "direction": "Short", "today": 1, "yesterday": 0, "total": 1,
         "profit": 10.0, "margin": 4000.0},
    ])})
    got = account.fun_read_position()
    assert got["code"] == 0 and got["msg"] == LIVE_OK
    assert list(got["data"]) == ["rb2505", "au2506"]
    assert got["data"]["rb2505"] == {
        "today": 1.0, "yesterday": -2.0, "today_long": 3.0, "yesterday_long": 2.0,
        "today_short": 2.0, "yesterday_short": 4.0, "position_profit_long": 1250.5,
        "position_profit_short": -400.0, "use_margin_long": 21190.0, "use_margin_short": 24000.0}
    assert list(got["data"]["au2506"]) == [
        "today", "yesterday", "today_long", "yesterday_long", "today_short", "yesterday_short",
        "position_profit_long", "position_profit_short", "use_margin_long", "use_margin_short"]
    assert got["data"]["au2506"]["today_short"] == 0 and type(got["data"]["au2506"]["today_short"]) is int


@pytest.mark.parametrize("positions, expected", [
    ([{"contract": "rb2505", "direction": "long", "today": 1}], NOT_LONG_SHORT),
    ([{"contract": "rb2505", "direction": "Long", "today": 1},
      {"contract": "rb2510", "direction": "SHORT", "today": 1}], NOT_LONG_SHORT),
    ([], {"code": 0, "msg": LIVE_OK, "data": {}}),
    ([{"contract": "SP rb2505&rb2510", "direction": "Long", "today": 1}],
     {"code": 0, "msg": LIVE_OK, "data": {}}),
])
def test_live_position_edge_answers(account, private_platform, positions, expected):
    private_platform({"80050021": platform_account(positions=positions)})
    assert account.fun_read_position() == expected


@pytest.mark.parametrize("read, option", [("fun_read_order", "entrust"), ("fun_read_deal", "trade")])
def test_live_orders_and_deals_pass_through(account, private_platform, read, option):
    sim = private_platform({"80050021": platform_account(
        trades=[{"contract": "rb2505", "direction": "买", "offset": "开仓", "price": 3521.0,
                 "volume": 2, "time": "09:01:02", "trade_id": "T1", "order_id": "O1"}],
        orders=[{"contract": "rb2505", "direction": "买", "offset": "开仓", "status": "全部成交",
                 "price": 3521.0, "total": 2, "traded": 2, "time": "09:01:01", "order_id": "O1"}])})
    direct = P.query_trader_all_info(P.RISK_PLATFORM_HOST, "10911", "80050021", "580914", option)
    got = getattr(account, read)()
    assert got == {"code": 0, "msg": LIVE_OK, "data": direct["data"]} and len(direct["data"]) == 1

    sim = private_platform({"80050021": platform_account()})
    assert getattr(account, read)() == {"code": 0, "msg": LIVE_OK, "data": []}


def test_live_equity_relabels_the_fund_record(account, private_platform):
    private_platform({"80050021": platform_account()})
    account.account_id = "8005002101"  # the platform knows the first eight characters
    got = account.fun_read_equity()
    assert got == {"code": 0, "msg": LIVE_OK, "data": {
        "account_id": "80050021", "available": 800000.25, "balance": 1000000.5,
        "trading_day": "20250314", "position_profit": -300.5, "close_profit": 1200.0,
        "commission": 45.6, "deposit": 10000.0, "withdraw": 500.0, "pre_balance": 990000.0}}
    assert list(got["data"])[0] == "account_id"


@pytest.mark.parametrize("read", READS)
def test_live_platform_refusal_and_absence(account, private_platform, monkeypatch, read):
    private_platform({"80050021": platform_account(refuse_login=True)})
    assert getattr(account, read)() == PLATFORM_REFUSED
    private_platform({"80050021": platform_account(password="other")})
    assert getattr(account, read)() == PLATFORM_REFUSED
    monkeypatch.setattr(P, "RISK_PLATFORM_HOST", "127.0.0.9")
    assert getattr(account, read)() == PLATFORM_DOWN


def test_live_reads_call_the_module_snapshot_function(account, private_platform, monkeypatch):
    calls = []

    def snapshot(*args):
        calls.append(args)
        return {"登录成功": True, "data": []}

    monkeypatch.setattr(P, "query_trader_all_info", snapshot)
    account.account_id = "8005002101"
    account.fun_read_deal()
    account.fun_read_order()
    host = P.RISK_PLATFORM_HOST  # the private simulator's address
    assert calls == [(host, "10911", "80050021", "580914", "trade"),
                     (host, "10911", "80050021", "580914", "entrust")]


# --- argument checks ------------------------------------------------------------------

@pytest.mark.parametrize("read", READS)
@pytest.mark.parametrize("account_id, dates, expected", [
    ("60010001", ("", ""), BAD_DATE),
    ("80050021", ("20240105", ""), BAD_DATE),
    ("80050021", ("", "20240105"), BAD_DATE),
    ("80050021", ("2024-01-05", "2024-01-06"), BAD_DATE),
    ("60010001", ("2024105", "20240106"), BAD_DATE),
])
def test_date_checks(account, read, account_id, dates, expected):
    account.account_id = account_id
    account.client = None  # no store is contacted
    assert getattr(account, read)(*dates) == expected


@pytest.mark.parametrize("read", READS)
def test_a_well_sized_non_date_raises(account, read):
    with pytest.raises(ValueError):
        getattr(account, read)("20241305", "20241306")


def test_simulation_orders_are_refused_without_a_query(account):
    account.account_id = "60010001"
    account.client = None  # a query would fail with a line_no message
    assert account.fun_read_order("20240101", "20240131") == {
        "code": 2, "msg": "仿真环境暂不提供实时/历史委托查询服务。"}


def test_reads_need_a_usable_object(account):
    account.login = 4003
    for read in READS:
        assert getattr(account, read)() == {"code": 1, "msg": "类初始化失败"}


# --- history --------------------------------------------------------------------------

def insert(ch, table, columns, rows):
    """The rows as the library writes its own INSERTs (days as their texts)."""
    rows = [[str(v) if isinstance(v, datetime.date) else v for v in row] for row in rows]
    ch.command(P._insert_text(f"INSERT INTO {table} (", columns, rows, ")"))


DEAL_COLUMNS = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "price",
                "volume", "commission", "exchange_id", "product", "vendor", "product_code",
                "entrust_serial_no", "account_id", "trade_id"]


def deal_row(acct, day, trading_day, trade_id, price=3521.5):
    return [day, trading_day, "21:05:03", "rb2505", "买", price, 2, 1.25, "SHFE", "螺纹钢",
            "vendorA", "RB", "E" + trade_id, acct, trade_id]


@pytest.mark.stack_reset("trade.is_cdealdetail", "trade.idata_cdealdetail")
def test_deal_history_production_reads_both_sources(account, ch_client, fresh_id):
    acct = fresh_id()
    d = datetime.date
    insert(ch_client, "trade.is_cdealdetail", DEAL_COLUMNS, [
        deal_row(acct, d(2024, 1, 4), d(2024, 1, 5), "T1"),   # night session: trading day next day
        deal_row(acct, d(2024, 1, 8), d(2024, 1, 8), "T2"),   # outside the range
    ])
    insert(ch_client, "trade.idata_cdealdetail", DEAL_COLUMNS, [deal_row(acct, d(2024, 1, 4), d(2024, 1, 5), "T1")])
    account.account_id = acct
    got = account.fun_read_deal("20240105", "20240107")
    assert got["code"] == 0 and got["msg"] == "success"
    assert len(got["data"]) == 2  # present in both sources: returned twice
    row = got["data"][0]
    assert list(row) == DEAL_COLUMNS
    assert row["day"] == "2024-01-04" and row["trading_day"] == "2024-01-05"
    assert row["price"] == 3521.5 and row["volume"] == 2 and type(row["volume"]) is int
    assert row["instrument_id"] == "rb2505" and row["product"] == "螺纹钢"


def test_history_without_rows_is_an_empty_list(account, fresh_id):
    account.account_id = fresh_id()
    for read in ("fun_read_position", "fun_read_order", "fun_read_deal"):
        assert getattr(account, read)("20240101", "20240131") == {"code": 0, "msg": "success", "data": []}
    assert account.fun_read_equity("20240101", "20240131") == {"code": 0, "msg": "success, ", "data": []}


@pytest.mark.stack_reset("simulate.ctp_dealdetail", "simulate.ctp_positionstatics")
def test_deal_and_position_history_of_a_simulation_account(account, ch_client, fresh_id):
    acct = fresh_id("6T")
    d = datetime.date
    insert(ch_client, "simulate.ctp_dealdetail",
           ["day", "trading_day", "account_id", "trading_time", "instrument_id", "direction", "offset",
            "price", "volume", "commission", "trade_id", "order_id", "exchange_id"],
           [[d(2024, 1, 5), d(2024, 1, 5), acct, "09:30:00", "ag2506", "sell", "open", 7100.0, 3, 2.0,
             "S1", "SO1", "SHFE"]])
    insert(ch_client, "simulate.ctp_positionstatics",
           ["day", "account_id", "instrument_id", "direction", "position", "today_position",
            "open_price", "settle_price", "position_profit", "use_margin", "exchange_id"],
           [[d(2024, 1, 5), acct, "ag2506", "short", 3, 3, 7100.0, 7090.0, 300.0, 12000.0, "SHFE"]])
    account.account_id = acct
    deals = account.fun_read_deal("20240105", "20240105")["data"]
    assert [(r["day"], r["trading_day"], r["trade_id"], r["volume"]) for r in deals] == [
        ("2024-01-05", "2024-01-05", "S1", 3)]
    positions = account.fun_read_position("20240101", "20240131")["data"]
    assert positions == [{"day": "2024-01-05", "account_id": acct, "instrument_id": "ag2506",
                          "direction": "short", "position": 3, "today_position": 3,
                          "open_price": 7100.0, "settle_price": 7090.0, "position_profit": 300.0,
                          "use_margin": 12000.0, "exchange_id": "SHFE"}]


@pytest.mark.stack_reset("trade.is_cpositionstatics", "trade.idata_cpositionstatics")
def test_position_history_of_a_production_account(account, ch_client, fresh_id):
    acct = fresh_id()
    cols = ["day", "instrument_id", "direction", "open_price", "average_price", "position",
            "exchange_id", "account_id", "market_value", "vendor", "product_code", "product"]
    d = datetime.date
    insert(ch_client, "trade.is_cpositionstatics", cols,
           [[d(2024, 1, 5), "rb2505", "long", 3500.0, 3510.25, 5, "SHFE", acct, 175512.5, "A", "RB", "螺纹钢"]])
    insert(ch_client, "trade.idata_cpositionstatics", cols,
           [[d(2024, 1, 6), "IF2506", "short", 3900.0, 3901.0, 2, "CFFEX", acct, 2340600.0, "B", "IF", "沪深300"]])
    account.account_id = acct
    got = account.fun_read_position("20240105", "20240106")
    assert got["code"] == 0
    assert sorted((r["day"], r["instrument_id"]) for r in got["data"]) == [
        ("2024-01-05", "rb2505"), ("2024-01-06", "IF2506")]
    assert all(list(r) == cols for r in got["data"])


@pytest.mark.stack_reset("trade.is_corderdetail")
def test_order_history_selects_by_trading_day(account, ch_client, fresh_id):
    acct = fresh_id()
    cols = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "offset", "price",
            "entrust_volume", "deal_volume", "exchange_id", "entrust_serial_no", "entrust_status", "account_id"]
    d = datetime.date
    insert(ch_client, "trade.is_corderdetail", cols, [
        [d(2024, 1, 4), d(2024, 1, 5), "21:00:01", "rb2505", "buy", "open", 3520.0, 2, 2, "SHFE", "O1", "filled", acct],
        [d(2024, 1, 5), d(2024, 1, 8), "21:00:01", "rb2505", "sell", "close", 3530.0, 2, 0, "SHFE", "O2", "cancelled", acct],
    ])
    account.account_id = acct
    got = account.fun_read_order("20240105", "20240105")
    assert got == {"code": 0, "msg": "success", "data": [{
        "day": "2024-01-04", "trading_day": "2024-01-05", "trading_time": "21:00:01",
        "instrument_id": "rb2505", "entrust_direction": "buy", "price": 3520.0, "entrust_volume": 2,
        "deal_volume": 2, "exchange_id": "SHFE", "entrust_serial_no": "O1", "entrust_status": "filled"}]}


@pytest.fixture
def local_zone(monkeypatch):
    def use(zone):
        monkeypatch.setenv("TZ", zone)
        time.tzset()
    yield use
    monkeypatch.undo()
    time.tzset()


@pytest.mark.stack_reset("trade.futures_account_daily_snapshot", "simulate.ctp_product_trend_values")
def test_equity_history_latest_snapshot_and_both_halves(account, ch_client, fresh_id, local_zone):
    local_zone("UTC")
    prod8 = fresh_id()
    long_id = prod8 + "01"
    snap_cols = ["trading_day", "account_id", "balance", "create_time"]
    d, dt = datetime.date, datetime.datetime
    insert(ch_client, "trade.futures_account_daily_snapshot", snap_cols, [
        [d(2024, 1, 5), prod8, 100.0, dt(2024, 1, 5, 15, 1, 0)],
        [d(2024, 1, 5), prod8, 300.0, dt(2024, 1, 5, 15, 30, 0)],
        [d(2024, 1, 5), prod8, 200.0, dt(2024, 1, 5, 15, 10, 0)],
        [d(2024, 1, 5), long_id, 999.0, dt(2024, 1, 5, 16, 0, 0)],   # not matched: first eight only
    ])
    insert(ch_client, "simulate.ctp_product_trend_values", ["account_id", "trading_day", "close_deposit"], [
        [long_id, "20240105", 555.5], [prod8, "20240105", 777.0]])
    account.account_id = long_id
    got = account.fun_read_equity("20240105", "20240105")
    assert got["code"] == 0 and got["msg"] == "success, "
    assert sorted(got["data"], key=lambda r: r["balance"]) == [
        {"account_id": prod8, "trading_day": "2024-01-05", "balance": 300.0,
         "update_time": "2024-01-05 15:30:00"},
        {"account_id": long_id, "trading_day": "2024-01-05", "balance": 555.5,
         "update_time": "1970-01-01 00:00:00"},
    ]


@pytest.mark.stack_reset("simulate.ctp_product_trend_values")
def test_equity_times_are_rendered_in_local_time(account, ch_client, fresh_id, local_zone):
    acct = fresh_id("6T")
    insert(ch_client, "simulate.ctp_product_trend_values", ["account_id", "trading_day", "close_deposit"],
           [[acct, "20240105", 1.0]])
    account.account_id = acct
    # the day and the times are taken as UTC instants and shown in the local zone
    local_zone("America/New_York")
    row = account.fun_read_equity("20240105", "20240105")["data"][0]
    assert (row["trading_day"], row["update_time"]) == ("2024-01-04", "1969-12-31 19:00:00")
    local_zone("Asia/Shanghai")
    row = account.fun_read_equity("20240105", "20240105")["data"][0]
    assert (row["trading_day"], row["update_time"]) == ("2024-01-05", "1970-01-01 08:00:00")


@pytest.fixture
def missing_table(ch_client):
    """Takes a table the reads use away for one test: a real store error."""
    moved = []

    def take(table):
        ch_client.command(f"RENAME TABLE {table} TO {table}_away")
        moved.append(table)

    yield take
    for table in moved:
        ch_client.command(f"RENAME TABLE {table}_away TO {table}")


@pytest.mark.parametrize("read, table, code, line_no", [
    ("fun_read_deal", "trade.idata_cdealdetail", 2, True),
    ("fun_read_position", "trade.is_cpositionstatics", 2, True),
    ("fun_read_order", "trade.is_corderdetail", 2, True),
    ("fun_read_equity", "trade.futures_account_daily_snapshot", 1, False),
])
def test_store_failure_becomes_a_result(account, missing_table, read, table, code, line_no):
    missing_table(table)
    got = getattr(account, read)("20240101", "20240131")
    assert got["code"] == code and list(got) == ["code", "msg"]
    assert "DatabaseError" in got["msg"] or "Exception" in got["msg"]
    if line_no:
        head, sep, line = got["msg"].rpartition("line_no: ")
        assert sep and line.isdigit() and head.endswith(")")
    else:
        assert "line_no" not in got["msg"]


# --- tables (as_frame) -----------------------------------------------------------------

class Replaying:
    """The account's client answering each statement once: the union's halves come back in one
    order for both forms of a read. `native=False` offers no raw_query (the fallback path)."""

    def __init__(self, client, native=True):
        self.client, self.answers = client, {}
        self.create_query_context = client.create_query_context
        if native:
            self.raw_query = lambda sql, fmt: self.answer("raw", sql, lambda: client.raw_query(sql, fmt=fmt))

    def answer(self, kind, sql, fetch):
        if (kind, sql) not in self.answers:
            self.answers[kind, sql] = fetch()
        return self.answers[kind, sql]

    def query(self, sql):
        return self.answer("query", sql, lambda: self.client.query(sql))


def both_forms(account, read, *dates):
    plain = getattr(account, read)(*dates)
    framed = getattr(account, read)(*dates, as_frame=True)
    return plain, framed


def assert_frame_of(plain, framed, table=pd.DataFrame):
    assert list(framed) == list(plain) and {k: framed[k] for k in framed if k != "data"} == {
        k: plain[k] for k in plain if k != "data"}
    pd.testing.assert_frame_equal(framed["data"], table(plain["data"]))


@pytest.mark.parametrize("native", [True, False], ids=["native", "fallback"])
@pytest.mark.parametrize("account_id, read, dates", [
    ("80050021", "fun_read_deal", ("20240901", "20240930")),
    ("80050021", "fun_read_order", ("20240901", "20240930")),
    ("80050021", "fun_read_position", ("20240901", "20240930")),
    ("80050021", "fun_read_equity", ("20240901", "20240930")),
    ("60010001", "fun_read_deal", ("20240901", "20240930")),
    ("60010001", "fun_read_position", ("20240901", "20240930")),
    ("60010001", "fun_read_equity", ("20240901", "20240930")),
    ("80050021", "fun_read_deal", ("20200101", "20200131")),  # no rows
    ("80050021", "fun_read_equity", ("20200101", "20200131")),
])
def test_history_table_is_the_table_of_the_rows(account, ch_client, local_zone, native, account_id, read, dates):
    local_zone("America/New_York")  # the equity times are local texts
    account.account_id = account_id
    account.client = Replaying(ch_client, native)
    plain, framed = both_forms(account, read, *dates)
    assert plain["code"] == 0 and isinstance(plain["data"], list)
    assert_frame_of(plain, framed)
    if dates[0] != "20200101":
        assert len(framed["data"]) > 0


def test_table_of_rows_with_nulls_and_non_ascii(account, ch_client):
    """A simulation deal table read with a statement of our own: NULLs, texts and times."""
    sql = ("SELECT number AS n, if(number % 2, NULL, '螺纹钢') AS product, if(number = 1, NULL, number * 0.5) AS price, "
           "toDateTime64('2024-01-05 09:30:00.25', 3) + number AS at, toDate('2024-01-05') AS day FROM numbers(4)")
    for client in (ch_client, Replaying(ch_client, native=False)):
        pd.testing.assert_frame_equal(P._query_frame(client, sql, ["day"]),
                                      pd.DataFrame(P._query_records(ch_client, sql, ["day"])))


@pytest.mark.parametrize("read, positions, trades, expected_rows", [
    ("fun_read_position", [{"contract": "rb2505", "direction": "Long", "today": 3, "yesterday": 2, "total": 5,
                            "profit": 12.5, "margin": 100.0},
                           {"contract": "au2506", "direction": "Short", "today": 1, "yesterday": 0, "total": 1,
                            "profit": -8.0, "margin": 50.0}], [], 10),
    ("fun_read_position", [], [], 0),
    ("fun_read_deal", [], [{"contract": "rb2505", "direction": "买", "offset": "开仓", "price": 3521.0,
                            "volume": 2, "time": "09:01:02", "trade_id": "T1", "order_id": "O1"}], 1),
    ("fun_read_order", [], [], 0),
    ("fun_read_equity", [], [], 1),
])
def test_live_table_is_the_table_of_the_answer(account, private_platform, read, positions, trades, expected_rows):
    private_platform({"80050021": platform_account(positions=positions, trades=trades)})
    plain, framed = both_forms(account, read)
    assert plain["code"] == 0
    # The fund figures are scalars, which pd.DataFrame refuses without an index: one row.
    table = (lambda d: pd.DataFrame([d])) if read == "fun_read_equity" else pd.DataFrame
    assert_frame_of(plain, framed, table)
    assert len(framed["data"]) == expected_rows


@pytest.mark.parametrize("read", READS)
def test_failures_answer_alike_with_a_table_asked_for(account, private_platform, missing_table, read):
    cases = [("", "20240105"), ("20240101", "20240131")]
    missing_table({"fun_read_deal": "trade.idata_cdealdetail", "fun_read_position": "trade.is_cpositionstatics",
                   "fun_read_order": "trade.is_corderdetail",
                   "fun_read_equity": "trade.futures_account_daily_snapshot"}[read])
    for dates in cases:
        plain, framed = both_forms(account, read, *dates)
        assert plain["code"] != 0 and framed == plain
    private_platform({"80050021": platform_account(refuse_login=True)})
    assert getattr(account, read)(as_frame=True) == PLATFORM_REFUSED
    private_platform({"80050021": platform_account(positions=[{"contract": "x", "direction": "long", "today": 1}])})
    assert account.fun_read_position(as_frame=True) == NOT_LONG_SHORT
    with pytest.raises(TypeError):
        getattr(account, read)("20240101", "20240131", True)  # keyword only
