"""Demo data of the desk, generated with a fixed seed: the same rows on every build."""
from __future__ import annotations

import functools
import random
from dataclasses import dataclass

from . import clickhouse_tables as cht
from . import desk, mysql_tables
from .book import Book, settle_prices, simulate
from .redis_entries import Entry, entries
from .table import Table

__all__ = ["DemoData", "Entry", "Table", "build", "desk"]


@dataclass(frozen=True)
class DemoData:
    clickhouse: dict[str, Table]  # "database.table" -> rows
    mysql: dict[str, Table]  # table of database trade -> rows
    redis: dict[str, list[Entry]]  # cache name ("central", "prod", "prod67", "prod65") -> entries


def _books(rng: random.Random) -> dict[str, Book]:
    days = desk.trading_days()
    prices = settle_prices(rng, days)
    main, targets = simulate(desk.MAIN, rng, days, prices, serial_base=10_000_000)
    copy, _ = simulate(desk.COPY, rng, days, prices, targets=targets, serial_base=20_000_000)
    long_id, _ = simulate(desk.LONG_ID, rng, days, prices, serial_base=30_000_000)
    sim, _ = simulate(desk.SIM, rng, days, prices, serial_base=60_000_000)
    return {b.account_id: b for b in (main, copy, long_id, sim)}


@functools.lru_cache(maxsize=1)
def build() -> DemoData:
    rng = random.Random(desk.SEED)
    books = _books(rng)
    order_dtl = cht.order_dtl(rng)
    clickhouse = {
        "factors.t_account_info": cht.account_info(),
        "factors.t_assetacc_match": cht.assetacc_match(),
        "factors.t_order_dtl": order_dtl,
        "factors.risk_config": cht.risk_config(),
        "factors.TWAP_config": cht.twap_config(),
        "strategy.param_user_info": cht.param_user_info(),
        "strategy.param_account_info": cht.param_account_info(),
        "strategy.param_modify_log": cht.param_modify_log(),
        **cht.positions(books),
        "trade.is_corderdetail": cht.orders(books),
        **cht.deals(books),
        "trade.futures_account_daily_snapshot": cht.snapshots(books, rng),
        **cht.simulation(books[desk.SIM.account_id]),
        **cht.factors(rng),
    }
    mysql = {
        **mysql_tables.daily_returns(books, rng),
        "commodity_info": mysql_tables.commodity_info(),
        "t_assetacc_info": mysql_tables.assetacc_info(),
    }
    return DemoData(clickhouse, mysql, entries(books, order_dtl.dicts()))
