"""Entries of the Redis caches, in the forms their writers use.

Live positions, deals of a day and the balance warnings are texts in Python literal
notation; the signal hash holds JSON texts; deal warnings are free text.
"""
from __future__ import annotations

import datetime as dt
import json
from dataclasses import dataclass

from . import desk
from .book import Book


@dataclass(frozen=True)
class Entry:
    kind: str  # "string", "list" or "hash"
    key: str
    value: object  # str, list[str] or dict[str, str]


SIGNAL_HASH_FIELDS = ("trading_day", "account_id", "contract", "position", "direction", "signal_date", "order_typ",
                      "update_time", "trade_time", "user_id", "feature")


def _live_position(book: Book, day: dt.date) -> str:
    held = {}
    for h in book.holdings:
        if h.day == day:
            held[h.contract] = {
                "direction": h.direction, "position": h.position, "today_position": h.today_position,
                "yesterday_position": h.position - h.today_position, "position_profit": h.position_profit,
                "use_margin": h.margin,
            }
    return repr(held)


def _deals_of_day(book: Book, day: dt.date) -> list[str]:
    return [repr({"contract": f.contract, "direction": f.direction, "offset": f.offset, "price": f.price,
                  "volume": f.volume, "time": f.time, "trade_id": f.trade_id, "entrust_serial_no": f.order_id})
            for f in book.fills if f.trading_day == day]


def _balance_warning(book: Book, day: dt.date, with_shares: bool) -> str:
    funds = next(f for f in book.funds if f.day == day)
    record = {"balance": funds.balance, "available": funds.available, "margin": funds.margin,
              "margin_ratio": round(funds.margin / funds.balance, 4), "warning_line": 0.8,
              "update_time": f"{day:%Y-%m-%d} 14:59:58"}
    if with_shares:
        record["shares"] = 0  # stale figure; readers replace it with the register's market value
    return repr(record)


def _deal_warning(book: Book, day: dt.date) -> str:
    fills = [f for f in book.fills if f.trading_day == day]
    if not fills:
        return f"{day:%Y-%m-%d} 无成交"
    f = fills[-1]
    return f"{f.day:%Y-%m-%d} {f.time} {f.contract} {f.direction} {f.offset} {f.volume}手 @ {f.price}"


def signal_hash(order_dtl_rows: list[dict], day: str, accounts: tuple[str, ...]) -> Entry:
    """The day's signal hash as an upload leaves it: the live rows of the given accounts."""
    fields = {}
    for row in order_dtl_rows:
        # Replaced rows left the hash with their upload; later deletions never touch it.
        if row["trading_day"] == day and row["account_id"] in accounts and row["delete_tag"] != 2 \
                and row["feature"] in (0, 1):
            record = {name: row[name] for name in SIGNAL_HASH_FIELDS}
            fields[f"{row['account_id']}_{row['contract']}"] = json.dumps(record)
    return Entry("hash", day, fields)


def entries(books: dict[str, Book], order_dtl_rows: list[dict]) -> dict[str, list[Entry]]:
    days = desk.trading_days()
    last, before = days[-1], days[-2]
    central: list[Entry] = []
    for account in (desk.MAIN, desk.LONG_ID, desk.COPY, desk.SIM):
        book = books[account.account_id]
        central.append(Entry("string", account.account_id, _live_position(book, last)))
        for day in (before, last):
            central.append(Entry("list", f"{account.account_id}_{desk.ymd(day)}", _deals_of_day(book, day)))
    central.append(Entry("hash", "balance_warning", {
        a.account_id: _balance_warning(books[a.account_id], last, with_shares=a is desk.MAIN)
        for a in (desk.MAIN, desk.LONG_ID, desk.COPY, desk.SIM)}))
    central.append(Entry("hash", "deal_warning", {
        a.account_id: _deal_warning(books[a.account_id], last) for a in (desk.MAIN, desk.LONG_ID, desk.COPY)}))
    # An override that has run out long ago.
    central.append(Entry("hash", "split_mode", {
        desk.LONG_ID.account_id: repr({"ts": dt.datetime(2024, 9, 30, 9, 30, 15), "effective_hour": 1.5,
                                       "split_mode": desk.SPLIT_MODES[1]})}))
    for day in (before, last):
        central.append(signal_hash(order_dtl_rows, desk.ymd(day),
                                   (desk.MAIN.account_id, desk.COPY.account_id, desk.SIM.account_id)))

    def production(accounts: tuple[desk.Account, ...]) -> list[Entry]:
        out = []
        for a in accounts:
            book = books[a.account_id]
            out.append(Entry("string", a.account_id, _live_position(book, before)))
            out.append(Entry("list", f"{a.account_id}_{desk.ymd(last)}", _deals_of_day(book, last)[:3]))
        out.append(Entry("hash", "balance_warning", {
            a.account_id: _balance_warning(books[a.account_id], before, with_shares=False) for a in accounts}))
        out.append(Entry("hash", "deal_warning", {a.account_id: _deal_warning(books[a.account_id], before)
                                                  for a in accounts}))
        return out

    return {
        "central": central,
        "prod": production((desk.MAIN, desk.LONG_ID)),
        "prod67": production((desk.COPY,)),
        "prod65": [Entry("hash", "deal_warning", {desk.IDLE.account_id: "2024-09-27 无成交"})],
    }
