"""The library's query and statement texts, run against the schema and the demo data.

The library's own texts (its named statement templates, filled as it fills them) where it
has them, so these tests fail when a column type or name of the schema does not fit a text.
"""
from __future__ import annotations

import collections
import datetime as dt

import pytest
from clickhouse_connect.driver.exceptions import DatabaseError

import pelmora.Pelmora as P
from services.demo import desk

MAIN, LONG_ID, COPY, SIM, IDLE = desk.MAIN.account_id, desk.LONG_ID.account_id, desk.COPY.account_id, \
    desk.SIM.account_id, desk.IDLE.account_id
MODE_A, MODE_B = desk.SPLIT_MODES


def now_text() -> str:
    return dt.datetime.now().strftime("%Y-%m-%d %H:%M:%S")


def login_query(account_id: str, key: str, current: str) -> str:
    return P._statement("login", now=current, account=account_id, key=key)


def split_query(account_id: str, env_tag: str, mode: str | None = None) -> str:
    if mode is None:
        return P._statement("split_account", account=account_id, env=env_tag)
    return P._statement("split_template", account=account_id, env=env_tag, mode=mode)


def equity_query(account_id: str, start: str, end: str) -> str:
    return P._statement("equity_history", account=account_id, account8=account_id[:8], start=start, end=end)


def history_query(kind: str, account_id: str, start: str, end: str) -> str:
    side = "production" if account_id.startswith("8") else "simulation"
    return P._statement(f"{kind}_history_{side}", account=account_id, start=start, end=end)


def position_query(account_id: str, start: str, end: str) -> str:
    return history_query("position", account_id, start, end)


DEAL_COLUMNS = ("day, trading_day, trading_time, instrument_id, entrust_direction, price, volume, commission, "
                "exchange_id, product, vendor, product_code, entrust_serial_no, account_id, trade_id")


def deal_query(account_id: str, start: str, end: str) -> str:
    return history_query("deal", account_id, start, end)


def order_query(account_id: str, start: str, end: str) -> str:
    return history_query("order", account_id, start, end)


SIGNAL_COLUMNS = ["trading_day", "contract", "position", "direction", "signal_date", "order_typ", "trade_time",
                  "feature", "account_id", "user_id", "create_time", "update_time", "data_source"]


def signal_insert(*rows: list) -> str:
    return P._insert_text(P._statement("signal_insert"), SIGNAL_COLUMNS, rows, ");")


def signal_read(account_id: str, start: str, end: str, clean: bool) -> str:
    return P._statement("signal_read_clean" if clean else "signal_read_history", start=start, end=end,
                        account=account_id)


# -- account register, login and pairing ----------------------------------------------


@pytest.mark.parametrize(
    "account_id, key, valid",
    [
        (MAIN, desk.MAIN.acquire_key, True),
        (LONG_ID, desk.LONG_ID.acquire_key, True),
        (COPY, desk.COPY.acquire_key, True),
        (SIM, desk.SIM.acquire_key, True),
        (IDLE, desk.IDLE.acquire_key, True),  # not trading, but registered
        (MAIN, desk.MAIN.acquire_key + "-2023", False),  # a key that has expired
        (MAIN, desk.LONG_ID.acquire_key, False),
        (LONG_ID[:8], desk.LONG_ID.acquire_key, False),
    ],
)
def test_login_query(ch_client, account_id, key, valid):
    n = ch_client.query(login_query(account_id, key, now_text())).result_set[0][0]
    assert (n > 0) is valid


def test_login_on_dates_of_the_closed_version(ch_client):
    # Inside the closed span the old version counts, and it is the only one that does.
    during = "2024-01-15 10:00:00"
    assert ch_client.query(login_query(MAIN, desk.MAIN.acquire_key, during)).result_set == [(2,)]
    assert ch_client.query(login_query(COPY, desk.COPY.acquire_key, during)).result_set == [(1,)]
    before = "2022-12-30 10:00:00"
    assert ch_client.query(login_query(COPY, desk.COPY.acquire_key, before)).result_set == [(0,)]


@pytest.mark.stack_reset("factors.t_account_info")
def test_validity_span_includes_its_begin_and_excludes_its_end(ch_client):
    t = "2031-05-06 09:30:15"
    ch_client.command(" INSERT into factors.t_account_info (account_id, account_key, market_value, strategy, "
                      "trade_flag, acquire_info_key, user_id, zip_begindate, zip_enddate) values ('81000001', 'a', "
                      f"1.0, 's', 'T', 'k-end', 'u', '2030-01-01 00:00:00', '{t}'); ")
    ch_client.command(" INSERT into factors.t_account_info (account_id, account_key, market_value, strategy, "
                      "trade_flag, acquire_info_key, user_id, zip_begindate, zip_enddate) values ('81000001', 'a', "
                      f"1.0, 's', 'T', 'k-begin', 'u', '{t}', '2500-12-31 00:00:00'); ")
    assert ch_client.query(login_query("81000001", "k-end", t)).result_set == [(0,)]
    assert ch_client.query(login_query("81000001", "k-begin", t)).result_set == [(1,)]


def test_key_with_a_quote_stays_inside_its_literal(ch_client):
    # The library escapes the key, so the statement stays well formed and matches no row.
    assert ch_client.query(login_query(MAIN, "k-8005'0021", now_text())).result_set == [(0,)]


@pytest.mark.parametrize("account_id, copies", [(MAIN, [(COPY,)]), (LONG_ID, []), (COPY, [])])
def test_copy_account_lookup(ch_client, account_id, copies):
    assert ch_client.query(P._statement("copy_account", account=account_id)).result_set == copies


# -- split modes -----------------------------------------------------------------------


@pytest.mark.parametrize(
    "account_id, env, mode, row",
    [
        # own row, its NULLs filled from the user's test defaults
        (MAIN, "test", None, (MAIN, "最新价", 1, 60, 20, 12, 5, 2)),
        (MAIN, "prod", None, (MAIN, "最新价", 1, 60, 30, 12, 10, 2)),
        # no own row: the user's defaults
        (COPY, "test", None, (COPY, "对手价", 1, 30, 20, 10, 5, 1)),
        # a selectable mode replaces the own row; its NULLs come from the user's defaults
        (MAIN, "test", MODE_B, (MAIN, "对手价", 1, 15, 5, 10, 20, 1)),
        (COPY, "test", MODE_A, (COPY, "排队价", 1, 120, 60, 30, 3, 1)),
    ],
)
def test_split_mode_account_and_template_queries(ch_client, account_id, env, mode, row):
    assert ch_client.query(split_query(account_id, env, mode)).result_set == [row]


@pytest.mark.parametrize("account_id, env", [(IDLE, "prod"), (COPY, "prod"), (SIM, "prod")])
def test_split_mode_query_without_trading_row_or_environment_is_empty(ch_client, account_id, env):
    assert ch_client.query(split_query(account_id, env)).result_set == []


def test_selectable_modes_query(ch_client):
    rows = ch_client.query(P._statement("split_available")).result_set
    assert sorted(r[0] for r in rows) == [MODE_A, MODE_B]
    assert len(rows[0]) == 8


@pytest.mark.parametrize("mode, n", [(MODE_A, 1), (MODE_B, 1), ("default", 0), (MAIN, 0), ("4321", 0)])
def test_mode_check_query(ch_client, mode, n):
    result = ch_client.query(P._statement("split_mode_check", mode=mode))
    assert result.column_names == ("n",)
    assert result.result_set == [(n,)]


@pytest.mark.stack_reset("strategy.param_modify_log")
def test_change_log_insert(ch_client):
    ts = "2024-10-08 09:30:15"
    for mode, hours in ((MODE_A, 2), (MODE_B, 1.5), ("default", -1)):
        ch_client.command(P._statement("split_change_log", account=COPY, mode=mode, ts=ts, hours=hours))
    rows = ch_client.query("SELECT split_mode, toString(ts), effective_hour FROM strategy.param_modify_log "
                           f"WHERE account_id = '{COPY}' ORDER BY effective_hour").result_set
    assert rows == [("default", ts, -1.0), (MODE_B, ts, 1.5), (MODE_A, ts, 2.0)]


# -- signals ---------------------------------------------------------------------------


def test_signal_reads_on_demo_data(ch_client, demo_data):
    days = [desk.ymd(d) for d in desk.trading_days()[-4:]]
    rows = [r for r in demo_data.clickhouse["factors.t_order_dtl"].dicts() if r["account_id"] == MAIN]
    clean = ch_client.query(signal_read(MAIN, days[0], days[-1], clean=True))
    assert clean.column_names == ("trading_day", "account_id", "contract", "position", "direction", "signal_date",
                                  "create_time", "trade_time", "user_id")
    live = [r for r in rows if r["delete_tag"] is None]
    assert len(clean.result_set) == len({(r["trading_day"], r["contract"]) for r in live})
    # Two live rows of one contract (continuous holding): the later one wins.
    newest = {}
    for r in sorted(live, key=lambda r: r["update_time"]):
        newest[(r["trading_day"], r["contract"])] = r["create_time"]
    assert {(r[0], r[2]): r[6] for r in clean.result_set} == newest
    full = ch_client.query(signal_read(MAIN, days[0], days[-1], clean=False)).result_set
    assert len(full) == len([r for r in rows if r["delete_tag"] in (None, 2)])


@pytest.mark.stack_reset("factors.t_order_dtl")
def test_signal_upload_replace_and_delete_statements(ch_client):
    day, t1, t2, t3 = "20241008", "2024-10-07 20:30:00.000001", "2024-10-07 20:45:00.000002", \
        "2024-10-08 09:10:00.000003"
    first = [[day, "rb2501", 3, "L", "", "intraday_trading", "D", 0, MAIN, "trader01", t1, t1, "clickhouse"],
             [day, "cu2411", 0, "S", 20241007, "call_auction", "N", 1, MAIN, "trader01", t1, t1, "clickhouse"]]
    ch_client.command(signal_insert(*first))
    # A new upload of the day replaces the live rows, then inserts its own.
    ch_client.command(P._statement("signal_replace", time=t2, day=day, account=MAIN))
    second = [[day, "rb2501", 5.0, "L", "", "intraday_trading", "D", 0, MAIN, "trader01", t2, t2, "redis"],
              [day, "m2501", 2, "S", "", "before_close", "", 0, MAIN, "trader01", t2, t2, "redis"]]
    ch_client.command(signal_insert(*second))
    clean = ch_client.query(signal_read(MAIN, day, day, clean=True)).result_set
    assert [(r[2], r[3], r[6]) for r in clean] == [("m2501", 2, t2), ("rb2501", 5, t2)]
    full = ch_client.query(signal_read(MAIN, day, day, clean=False)).result_set
    assert sorted((r[2], r[3]) for r in full) == [("cu2411", 0), ("m2501", 2), ("rb2501", 3), ("rb2501", 5)]
    replaced = ch_client.query("SELECT contract, update_time, signal_date FROM factors.t_order_dtl WHERE trading_day "
                               f"= '{day}' AND delete_tag = 2 ORDER BY contract").result_set
    assert replaced == [("cu2411", t2, "20241007"), ("rb2501", t2, "")]

    clause = P._statement("signal_delete_contracts") + str(["rb2501", "zz999"])[1:-1] + ")"
    where = dict(day=day, trade_time="D", order_typ="intraday_trading", account=MAIN)
    count = P._statement("signal_delete_count", **where) + clause + " "
    assert ch_client.query(count).result_set == [(1,)]
    ch_client.command(P._statement("signal_delete", user="trader02", time=t3, **where) + clause)
    assert ch_client.query(count).result_set == [(0,)]
    assert [r[2] for r in ch_client.query(signal_read(MAIN, day, day, clean=True)).result_set] == ["m2501"]
    deleted = ch_client.query("SELECT contract, update_id, update_time FROM factors.t_order_dtl WHERE trading_day "
                              f"= '{day}' AND delete_tag = 1").result_set
    assert deleted == [("rb2501", "trader02", t3)]


@pytest.mark.stack_reset("factors.t_order_dtl")
def test_copy_soft_delete_keeps_update_time(ch_client):
    day = desk.ymd(desk.trading_days()[-1])
    before = ch_client.query("SELECT contract, update_time FROM factors.t_order_dtl WHERE trading_day = '" + day
                             + "' AND account_id = '" + COPY + "' AND delete_tag is null ORDER BY contract").result_set
    assert before
    ch_client.command(P._statement("signal_replace_copy", day=day, account=COPY))
    after = ch_client.query("SELECT contract, update_time FROM factors.t_order_dtl WHERE trading_day = '" + day
                            + "' AND account_id = '" + COPY + "' AND delete_tag = 2 AND update_time IN ("
                            + ", ".join(repr(r[1]) for r in before) + ") ORDER BY contract").result_set
    assert set(before) <= set(after)


# -- TWAP settings and account status ---------------------------------------------------


@pytest.mark.stack_reset("factors.TWAP_config")
def test_twap_insert_text(ch_client):
    columns = ["commodity", "if_twap", "time_gap", "volume", "account_id", "update_time"]
    quoted = [f'"{c}"' for c in columns]
    at = "2024-10-08 09:00:00"
    rows = (["AG", 1, 30, 5.5, COPY, at], ["RB", 0, 12.5, 3, COPY, at], ["CU", 1.0, 0, 0.0, COPY, at])
    ch_client.command(P._insert_text(P._statement("twap_insert_opening"), quoted, rows, ");"))
    rows = ch_client.query(f"SELECT commodity, if_twap, time_gap, volume, toString(update_time) FROM "
                           f"factors.TWAP_config WHERE account_id = '{COPY}' ORDER BY commodity").result_set
    assert rows == [("AG", 1, 30.0, 5.5, at), ("CU", 1, 0.0, 0.0, at), ("RB", 0, 12.5, 3.0, at)]


@pytest.mark.stack_reset("factors.t_account_info")
def test_status_upload_statements_version_the_register(ch_client):
    now = "2031-03-04 05:06:07"
    current = ch_client.query(P._statement("status_current", now=now, account=MAIN, key=desk.MAIN.acquire_key))
    assert len(current.result_set) == 2  # the test and prod rows
    ch_client.command(P._statement("status_close", now=now, account=MAIN))
    for row in current.result_set:
        values = list(row)
        values[4] = "F"
        values += [now, "2500-12-31 00:00:00"]
        columns = list(current.column_names) + ["zip_begindate", "zip_enddate"]
        ch_client.command(P._insert_text(P._statement("status_insert_opening"), columns, [values], "); "))
    versions = ch_client.query("SELECT trade_flag, env, market_value FROM factors.t_account_info WHERE "
                               f"account_id = '{MAIN}' AND zip_begindate = '{now}' ORDER BY env").result_set
    # The new versions keep their environment.
    assert versions == [("F", "prod", desk.MAIN.market_value), ("F", "test", desk.MAIN.market_value)]
    assert ch_client.query(login_query(MAIN, desk.MAIN.acquire_key, now)).result_set == [(2,)]
    assert ch_client.query(login_query(MAIN, desk.MAIN.acquire_key, "2031-03-04 05:06:06")).result_set == [(2,)]


# -- risk configuration and market value ------------------------------------------------


def test_risk_config_query(ch_client):
    rows = ch_client.query(P._statement("risk_min_open")).result_set
    mins = dict(rows)
    assert len(rows) == len(mins) == len(desk.CONTRACTS)
    assert mins["rb"] == 1  # the current version, not the closed one
    assert "ZC" not in mins  # switched off


@pytest.mark.parametrize("account_id, value", [(MAIN, desk.MAIN.market_value), (IDLE, None)])
def test_market_value_query(ch_client, account_id, value):
    rows = ch_client.query(P._statement("market_value", account=account_id)).result_set
    assert [r[1] for r in rows][:1] == ([value] if value is not None else [])


# -- trading records ---------------------------------------------------------------------


def test_position_history_unites_both_sources(ch_client, demo_data):
    result = ch_client.query(position_query(MAIN, "2024-09-02", "2024-09-06"))
    assert result.column_names == ("day", "instrument_id", "direction", "open_price", "average_price", "position",
                                   "exchange_id", "account_id", "market_value", "vendor", "product_code", "product")
    by_vendor = collections.Counter(r[9] for r in result.result_set)
    expected = collections.Counter(
        r["vendor"] for name in ("trade.is_cpositionstatics", "trade.idata_cpositionstatics")
        for r in demo_data.clickhouse[name].dicts()
        if r["account_id"] == MAIN and dt.date(2024, 9, 2) <= r["day"] <= dt.date(2024, 9, 6))
    assert by_vendor == expected and set(by_vendor) == {desk.VENDOR_IS, desk.VENDOR_IDATA}
    assert all(isinstance(r[0], dt.date) for r in result.result_set)


@pytest.mark.parametrize("account_id", [LONG_ID, COPY, SIM])
def test_position_history_of_other_accounts(ch_client, account_id):
    result = ch_client.query(position_query(account_id, "2024-09-02", "2024-09-30"))
    assert result.result_set and all(r[result.column_names.index("account_id")] == account_id
                                     for r in result.result_set)
    assert "day" in result.column_names


def test_history_range_without_rows(ch_client):
    assert ch_client.query(position_query(MAIN, "2024-10-01", "2024-10-31")).result_set == []
    assert ch_client.query(position_query(MAIN, "2024-09-06", "2024-09-02")).result_set == []


def test_order_history_selects_by_trading_day(ch_client, demo_data):
    night = next(r for r in demo_data.clickhouse["trade.is_corderdetail"].dicts()
                 if r["account_id"] == MAIN and r["day"] < r["trading_day"])
    day = night["trading_day"].isoformat()
    rows = ch_client.query(order_query(MAIN, day, day)).result_set
    assert any(r[9] == night["entrust_serial_no"] and r[0] == night["day"] for r in rows)
    assert all(r[1] == night["trading_day"] for r in rows)


def test_deal_history_repeats_a_deal_kept_by_both_sources(ch_client, demo_data):
    day = desk.trading_days()[0]
    result = ch_client.query(deal_query(MAIN, day.isoformat(), day.isoformat()))
    assert result.column_names == tuple(DEAL_COLUMNS.split(", "))
    ids = collections.Counter(r[-1] for r in result.result_set)
    assert ids and all(n == 2 for n in ids.values())
    sim = ch_client.query(deal_query(SIM, "2024-09-02", "2024-09-30"))
    assert {"day", "trading_day"} <= set(sim.column_names) and sim.result_set


@pytest.mark.parametrize("account_id", [MAIN, LONG_ID])
def test_equity_history_takes_the_last_snapshot_of_each_day(ch_client, demo_data, account_id):
    result = ch_client.query(equity_query(account_id, "2024-09-02", "2024-09-30"))
    assert result.column_names == ("account_id", "trading_day", "balance", "update_time")
    last = {}
    for r in demo_data.clickhouse["trade.futures_account_daily_snapshot"].dicts():
        if r["account_id"] == account_id[:8]:
            if r["trading_day"] not in last or r["create_time"] > last[r["trading_day"]]["create_time"]:
                last[r["trading_day"]] = r
    got = {r[1]: (r[0], r[2], r[3]) for r in result.result_set}
    assert got == {d: (account_id[:8], r["balance"], r["create_time"]) for d, r in last.items()}
    assert len(result.result_set) == len(desk.trading_days())


def test_equity_history_of_a_simulation_account(ch_client, demo_data):
    result = ch_client.query(equity_query(SIM, "2024-09-09", "2024-09-13")).result_set
    trend = {r["trading_day"]: r["close_deposit"] for r in demo_data.clickhouse[
        "simulate.ctp_product_trend_values"].dicts()}
    assert [(r[1], r[2], r[3]) for r in sorted(result)] == [
        (dt.date(2024, 9, d), trend[f"202409{d:02d}"], dt.datetime(1970, 1, 1)) for d in range(9, 14)]
    assert ch_client.query(equity_query(SIM, "2024-10-01", "2024-10-31")).result_set == []


# -- research factors --------------------------------------------------------------------


@pytest.mark.parametrize("typ, per_factor", [("value", len(desk.CONTRACTS)), ("weight", 1), ("net", 1)])
def test_factor_queries_as_research_user(research_client, typ, per_factor):
    every = research_client.query(P._statement("factor_" + typ, start_date="20240904", end_date="20240905"))
    assert len(every.result_set) == 2 * len(desk.FACTORS) * per_factor
    vesk = research_client.query(P._statement("factor_" + typ + "_vesk", start_date="20240904",
                                              end_date="20240905"))
    assert len(vesk.result_set) == 2 * len(desk.FACTORS_VESK) * per_factor
    assert set(vesk.result_set) < set(every.result_set)
    empty = research_client.query(P._statement("factor_" + typ, start_date="20240905", end_date="20240904"))
    assert empty.result_set == [] and empty.column_names == ()  # no block for no rows, as a server sends


def test_factor_query_with_a_day_the_store_cannot_compare(research_client):
    with pytest.raises(DatabaseError):
        research_client.query(P._statement("factor_value", start_date="abcdefgh", end_date="20240905"))


# -- post-trade breakdown (MySQL) ---------------------------------------------------------


def post_trade_query(account_id: str, start: str, end: str) -> str:
    return P._statement("post_trade_commodity", account=account_id, start=start, end=end)


@pytest.mark.parametrize("account_id, product", [(MAIN, desk.MAIN.product_name),
                                                 (LONG_ID, desk.LONG_ID.product_name)])
def test_post_trade_query(mysql_conn, demo_data, account_id, product):
    start, end = dt.date(2024, 9, 4), dt.date(2024, 9, 6)
    expected = collections.defaultdict(float)
    for name in ("daily_return", "daily_return_fz"):
        for r in demo_data.mysql[name].dicts():
            # The long-id account's returns are booked under the main account.
            if r["assetacc"] == MAIN and start <= r["trading_day"] <= end and len(r["contract"]) <= 6:
                expected[r["commodity"]] += r["prefee_return_l"] - r["commission_l"] + r["prefee_return_s"] \
                    - r["commission_s"]
    with mysql_conn.cursor() as cur:
        cur.execute(post_trade_query(account_id, "2024-09-04", "2024-09-06"))
        columns = [d[0] for d in cur.description]
        rows = cur.fetchall()
    assert columns == ["assetacc", "product_name", "commodity", "pl_l", "pl_s", "pl"]
    assert {r[0] for r in rows} == {account_id} and {r[1] for r in rows} == {product}
    assert {r[2]: round(r[5], 2) for r in rows} == {k: round(v, 2) for k, v in expected.items()}


def test_post_trade_query_for_an_unregistered_account(mysql_conn):
    with mysql_conn.cursor() as cur:
        cur.execute(post_trade_query("89999999", "2024-09-04", "2024-09-06"))
        assert cur.fetchall() == ()
