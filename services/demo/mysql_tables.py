"""Rows of the MySQL tables (database trade)."""
from __future__ import annotations

import random

from . import desk
from .book import Book
from .table import Table

RETURN_COLS = ["trading_day", "assetacc", "contract", "commodity", "position_l", "position_s", "settle_price",
               "prefee_return_l", "commission_l", "prefee_return_s", "commission_s"]

# Returns of the long-id account are booked under the main account.
BOOKED_UNDER = {desk.LONG_ID.account_id: desk.MAIN.account_id}


def daily_returns(books: dict[str, Book], rng: random.Random) -> dict[str, Table]:
    rows: dict[tuple, list] = {}
    for account in desk.TRADED:
        booked = BOOKED_UNDER.get(account.account_id, account.account_id)
        for cd in books[account.account_id].contract_days:
            key = (cd.day, booked, cd.contract)
            rows[key] = [cd.day, booked, cd.contract, desk.CONTRACT_BY_CODE[cd.contract].commodity, cd.position_l,
                         cd.position_s, cd.settle, round(cd.return_l, 2), round(cd.commission_l, 2),
                         round(cd.return_s, 2), round(cd.commission_s, 2)]
    # The second source: spread legs (not summed, the code is too long) and fee adjustments
    # for sugar, which then count in both tables.
    fz = []
    for day in desk.trading_days():
        fz.append((day, desk.MAIN.account_id, desk.SPREAD, "rb", 2, 0, 35.0,
                   round(rng.gauss(0, 800), 2), 3.5, 0.0, 0.0))
        fz.append((day, desk.MAIN.account_id, "SR501", "SR", 0, 0, 0.0, 0.0, round(rng.uniform(1, 5), 2), 0.0, 0.0))
    return {"daily_return": Table(RETURN_COLS, [tuple(r) for r in rows.values()]),
            "daily_return_fz": Table(RETURN_COLS, fz)}


def commodity_info() -> Table:
    return Table(["commodity", "commodity_name", "sector_CN", "exchange", "multiplier"],
                 [(c.commodity, c.name, c.sector, c.exchange, c.multiplier) for c in desk.CONTRACTS])


def assetacc_info() -> Table:
    cols = ["assetacc", "assetacc_sum", "assetacc_save", "product_name"]
    rows = []
    for a in desk.ACCOUNTS:
        saved = BOOKED_UNDER.get(a.account_id)
        rows.append((a.account_id, saved, saved, a.product_name))
    return Table(cols, rows)
