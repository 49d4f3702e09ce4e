"""Rows of the ClickHouse tables, built from the demo desk and its trading history."""
from __future__ import annotations

import datetime as dt
import random

from . import desk
from .book import Book
from .table import Table

PRODUCT_CODES = {desk.MAIN.account_id: "P001", desk.LONG_ID.account_id: "P001B", desk.COPY.account_id: "P001C"}


def account_info() -> Table:
    cols = ["account_id", "account_key", "market_value", "strategy", "trade_flag", "acquire_info_key", "user_id",
            "env", "zip_begindate", "zip_enddate"]
    rows = []
    for a in desk.ACCOUNTS:
        for env in a.envs:
            # The version before the current one: other market value, trading switched off.
            rows.append((a.account_id, f"ak-{a.account_id}", a.market_value * 0.8, a.strategy, "F", a.acquire_key,
                         a.user_id, env, desk.EXPIRED_SINCE, desk.CURRENT_SINCE))
            rows.append((a.account_id, f"ak-{a.account_id}", a.market_value, a.strategy, a.trade_flag, a.acquire_key,
                         a.user_id, env, desk.CURRENT_SINCE, desk.OPEN_END))
    # A key that was replaced: valid once, not now.
    rows.append((desk.MAIN.account_id, f"ak-{desk.MAIN.account_id}", 9_000_000.0, desk.MAIN.strategy, "T",
                 f"{desk.MAIN.acquire_key}-2023", desk.MAIN.user_id, "test", "2022-01-04 08:00:00",
                 desk.EXPIRED_SINCE))
    return Table(cols, rows)


def assetacc_match() -> Table:
    created = dt.datetime(2024, 6, 28, 17, 0, 0)
    return Table(["account_id", "copy_account_id", "is_valid", "create_time"],
                 [(main, copy, valid, created) for main, copy, valid in desk.PAIRINGS])


def order_dtl(rng: random.Random) -> Table:
    """Signals of the last days of the history: the live upload of each day, on some days an
    upload it replaced (delete_tag 2), one deleted signal (1) and one continuous-holding add-on."""
    cols = ["trading_day", "contract", "position", "direction", "signal_date", "order_typ", "trade_time", "feature",
            "account_id", "user_id", "create_time", "update_time", "data_source", "delete_tag", "update_id"]
    rows = []
    days = desk.trading_days()[-4:]
    for account in (desk.MAIN, desk.SIM):
        universe = desk.UNIVERSE[account.account_id]
        for n, day in enumerate(days):
            signal_date = desk.ymd(desk.previous_trading_day(day))
            live_at = dt.datetime.combine(desk.previous_trading_day(day), dt.time(20, 30, 5, 123456 + n))
            uploads = [live_at - dt.timedelta(minutes=40), live_at] if n % 2 == 0 else [live_at]
            for k, at in enumerate(uploads):
                replaced = k < len(uploads) - 1
                stamp = at.strftime("%Y-%m-%d %H:%M:%S.%f")
                replaced_at = uploads[-1].strftime("%Y-%m-%d %H:%M:%S.%f")
                for contract in universe[: 4 + k]:
                    position = rng.randrange(0, 8)
                    row = [desk.ymd(day), contract, position, rng.choice("LS"), signal_date,
                           rng.choice(("call_auction", "intraday_trading", "before_close")),
                           "N" if desk.CONTRACT_BY_CODE[contract].night else "D", 0, account.account_id,
                           account.user_id, stamp, replaced_at if replaced else stamp,
                           "redis" if account is desk.MAIN else "clickhouse", 2 if replaced else None, None]
                    rows.append(row)
                    # The copy account received the same upload.
                    if account is desk.MAIN:
                        copy = list(row)
                        copy[8] = desk.COPY.account_id
                        copy[11] = stamp  # the copy's soft-delete leaves update_time as it was
                        rows.append(copy)
    # Deleted by the trader: a live signal of the last day marked 1.
    last = desk.ymd(days[-1])
    for row in rows:
        if row[0] == last and row[8] == desk.MAIN.account_id and row[13] is None:
            row[13] = 1
            row[14] = desk.MAIN.user_id
            row[11] = f"{days[-1]:%Y-%m-%d} 09:12:40.000001"
            break
    # Continuous holding: a second live row of one contract, uploaded later with feature 20.
    extra_at = dt.datetime.combine(days[-2], dt.time(10, 5, 0, 654321)).strftime("%Y-%m-%d %H:%M:%S.%f")
    contract = desk.UNIVERSE[desk.MAIN.account_id][0]
    rows.append([desk.ymd(days[-2]), contract, 2, "L", desk.ymd(desk.previous_trading_day(days[-2])),
                 "intraday_trading", "D", 20, desk.MAIN.account_id, desk.MAIN.user_id, extra_at, extra_at,
                 "clickhouse", None, None])
    return Table(cols, [tuple(r) for r in rows])


def risk_config() -> Table:
    cols = ["name", "min_amt", "category", "is_valid", "zip_begindate", "zip_enddate"]
    rows = []
    for n, c in enumerate(desk.CONTRACTS):
        rows.append((c.commodity, 1 + n % 4, "单笔最小开仓量", 1, desk.CURRENT_SINCE, desk.OPEN_END))
        rows.append((c.commodity, 50 + 10 * (n % 5), "单笔最大开仓量", 1, desk.CURRENT_SINCE, desk.OPEN_END))
    rows.append(("rb", 5, "单笔最小开仓量", 1, desk.EXPIRED_SINCE, desk.CURRENT_SINCE))  # closed version
    rows.append(("ZC", 2, "单笔最小开仓量", 0, desk.CURRENT_SINCE, desk.OPEN_END))  # switched off
    return Table(cols, rows)


def twap_config() -> Table:
    at = dt.datetime(2024, 9, 20, 20, 45, 10)
    rows = [(c.commodity.upper(), 1 if c.sector != "股指" else 0, 30.0, 5.0, desk.MAIN.account_id, at)
            for c in desk.CONTRACTS[:6]]
    return Table(["commodity", "if_twap", "time_gap", "volume", "account_id", "update_time"], rows)


def param_user_info() -> Table:
    cols = ["user_id", "env", "trade_price", "twap", "sum_twap", "twap_time_gap", "cancel_cmd_time",
            "split_volume_max", "split_volume_min"]
    return Table(cols, [
        ("trader01", "test", "对手价", 1, 30, 20, 10, 5, 1),
        ("trader01", "prod", "对手价", 1, 45, 30, 15, 10, 1),
        ("trader02", "prod", "最新价", 0, 10, 10, 5, 20, 2),
    ])


def param_account_info() -> Table:
    cols = ["account_id", "trade_price", "twap", "sum_twap", "twap_time_gap", "cancel_cmd_time",
            "split_volume_max", "split_volume_min"]
    return Table(cols, [
        # The main account's own row: unset values fall back to the user's defaults.
        (desk.MAIN.account_id, "最新价", 1, 60, None, 12, None, 2),
        # Selectable split modes.
        (desk.SPLIT_MODES[0], "排队价", 1, 120, 60, 30, 3, 1),
        (desk.SPLIT_MODES[1], "对手价", 1, 15, 5, None, 20, None),
    ])


def param_modify_log() -> Table:
    return Table(["account_id", "split_mode", "ts", "effective_hour"], [
        (desk.MAIN.account_id, desk.SPLIT_MODES[0], dt.datetime(2024, 9, 23, 9, 35, 2), 2.0),
        (desk.MAIN.account_id, "default", dt.datetime(2024, 9, 23, 10, 50, 41), -1.0),
        (desk.LONG_ID.account_id, desk.SPLIT_MODES[1], dt.datetime(2024, 9, 30, 9, 30, 15), 1.5),
    ])


def _position_row(h, vendor: str) -> tuple:
    c = desk.CONTRACT_BY_CODE[h.contract]
    return (h.day, h.contract, h.direction, h.open_price, h.average_price, h.position, c.exchange, h.account_id,
            round(h.settle * h.position * c.multiplier, 2), vendor, PRODUCT_CODES[h.account_id],
            _product(h.account_id))


def _product(account_id: str) -> str:
    return next(a.product_name for a in desk.ACCOUNTS if a.account_id == account_id)


POSITION_COLS = ["day", "instrument_id", "direction", "open_price", "average_price", "position", "exchange_id",
                 "account_id", "market_value", "vendor", "product_code", "product"]
DEAL_COLS = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "offset", "price",
             "volume", "commission", "exchange_id", "product", "vendor", "product_code", "entrust_serial_no",
             "account_id", "trade_id"]


def positions(books: dict[str, Book]) -> dict[str, Table]:
    """The in-house source holds the main and copy accounts; the vendor feed holds the long-id
    account and repeats the main account's first week (so the united read shows both)."""
    first_week = desk.trading_days()[:5]
    is_rows, idata_rows = [], []
    for account in (desk.MAIN, desk.COPY):
        is_rows += [_position_row(h, desk.VENDOR_IS) for h in books[account.account_id].holdings]
    idata_rows += [_position_row(h, desk.VENDOR_IDATA) for h in books[desk.LONG_ID.account_id].holdings]
    idata_rows += [_position_row(h, desk.VENDOR_IDATA) for h in books[desk.MAIN.account_id].holdings
                   if h.day in first_week]
    return {"trade.is_cpositionstatics": Table(POSITION_COLS, is_rows),
            "trade.idata_cpositionstatics": Table(POSITION_COLS, idata_rows)}


def _deal_row(f, vendor: str) -> tuple:
    c = desk.CONTRACT_BY_CODE[f.contract]
    return (f.day, f.trading_day, f.time, f.contract, f.direction, f.offset, f.price, f.volume, f.commission,
            c.exchange, _product(f.account_id), vendor, PRODUCT_CODES[f.account_id], f.order_id, f.account_id,
            f.trade_id)


def deals(books: dict[str, Book]) -> dict[str, Table]:
    first_day = desk.trading_days()[0]
    is_rows, idata_rows = [], []
    for account in (desk.MAIN, desk.COPY):
        is_rows += [_deal_row(f, desk.VENDOR_IS) for f in books[account.account_id].fills]
    idata_rows += [_deal_row(f, desk.VENDOR_IDATA) for f in books[desk.LONG_ID.account_id].fills]
    idata_rows += [_deal_row(f, desk.VENDOR_IDATA) for f in books[desk.MAIN.account_id].fills
                   if f.trading_day == first_day]
    return {"trade.is_cdealdetail": Table(DEAL_COLS, is_rows), "trade.idata_cdealdetail": Table(DEAL_COLS, idata_rows)}


def orders(books: dict[str, Book]) -> Table:
    cols = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "offset", "price",
            "entrust_volume", "deal_volume", "exchange_id", "entrust_serial_no", "entrust_status", "account_id"]
    rows = []
    for account in (desk.MAIN, desk.LONG_ID, desk.COPY):
        for o in books[account.account_id].orders:
            rows.append((o.day, o.trading_day, o.time, o.contract, o.direction, o.offset, o.price, o.volume,
                         o.traded, desk.CONTRACT_BY_CODE[o.contract].exchange, o.order_id, o.status, o.account_id))
    return Table(cols, rows)


def snapshots(books: dict[str, Book], rng: random.Random) -> Table:
    """Fund snapshots under eight-character ids, three a day; the last one of the day is final.
    The long-id account's funds are kept under its first eight characters, with the main account's."""
    cols = ["trading_day", "account_id", "balance", "available", "curr_margin", "position_profit", "close_profit",
            "commission", "deposit", "withdraw", "pre_balance", "create_time"]
    combined: dict[tuple[str, dt.date], list] = {}
    for account in (desk.MAIN, desk.LONG_ID, desk.COPY):
        for f in books[account.account_id].funds:
            key = (account.account_id[:8], f.day)
            vals = [f.balance, f.available, f.margin, f.position_profit, f.close_profit, f.commission, f.pre_balance]
            if key in combined:
                combined[key] = [round(a + b, 2) for a, b in zip(combined[key], vals)]
            else:
                combined[key] = vals
    rows = []
    for (account_id, day), (balance, available, margin, pprofit, cprofit, commission, pre) in combined.items():
        # Snapshots written in a scrambled order: the query must pick the latest by time.
        times = [(dt.time(11, 31, 0), 0.4), (dt.time(15, 20, 0), 1.0), (dt.time(15, 1, 30), 0.9)]
        for t, share in times:
            drift = 0.0 if share == 1.0 else round(rng.gauss(0, 2000), 2)
            rows.append((day, account_id, round(balance + drift, 2), round(available + drift, 2), margin,
                         round(pprofit + drift, 2), cprofit, round(commission * share, 2), 0.0, 0.0, pre,
                         dt.datetime.combine(day, t)))
    return Table(cols, rows)


def simulation(book: Book) -> dict[str, Table]:
    positions_ = Table(
        ["day", "account_id", "instrument_id", "direction", "position", "today_position", "open_price",
         "settle_price", "position_profit", "use_margin", "exchange_id"],
        [(h.day, h.account_id, h.contract, h.direction, h.position, h.today_position, h.open_price, h.settle,
          h.position_profit, h.margin, desk.CONTRACT_BY_CODE[h.contract].exchange) for h in book.holdings],
    )
    deals_ = Table(
        ["day", "trading_day", "account_id", "trading_time", "instrument_id", "direction", "offset", "price",
         "volume", "commission", "trade_id", "order_id", "exchange_id"],
        [(f.day, f.trading_day, f.account_id, f.time, f.contract, f.direction, f.offset, f.price, f.volume,
          f.commission, f.trade_id, f.order_id, desk.CONTRACT_BY_CODE[f.contract].exchange) for f in book.fills],
    )
    base = book.funds[0].pre_balance if book.funds else 1.0
    trend = Table(
        ["account_id", "trading_day", "pre_deposit", "close_deposit", "close_profit", "position_profit", "commission",
         "net_value"],
        [(f.account_id, desk.ymd(f.day), f.pre_balance, f.balance, f.close_profit, f.position_profit, f.commission,
          round(f.balance / base, 6)) for f in book.funds],
    )
    return {"simulate.ctp_positionstatics": positions_, "simulate.ctp_dealdetail": deals_,
            "simulate.ctp_product_trend_values": trend}


def factors(rng: random.Random) -> dict[str, Table]:
    days = desk.trading_days()
    values, weights, nets = [], [], []
    for factor in desk.FACTORS:
        net = 1.0
        for day in days:
            w = round(rng.uniform(0.02, 0.15), 4)
            net = round(net * (1 + rng.gauss(0.0005, 0.006)), 6)
            weights.append((day, factor, w))
            nets.append((day, factor, net))
            for c in desk.CONTRACTS:
                values.append((day, factor, c.commodity, round(rng.gauss(0, 1), 4)))
    return {
        "other.factor_value_new": Table(["date", "factor", "commodity", "value"], values),
        "other.factor_weight_new": Table(["date", "factor", "weight"], weights),
        "other.factor_net_new": Table(["date", "factor", "net_value"], nets),
    }
