"""A small, consistent trading history: prices, orders, fills, positions and funds per day.

Every traded account follows random target positions; orders fill at prices near the
market, positions and balances follow from the fills, so the record tables agree.
"""
from __future__ import annotations

import datetime as dt
import random
from dataclasses import dataclass, field

from . import desk

COMMISSION_RATE = 0.00005
MARGIN_RATE = 0.12
DAY_SLOTS = ("09:0", "09:3", "10:1", "10:4", "11:0", "13:4", "14:1", "14:4")
NIGHT_SLOTS = ("21:0", "21:3", "22:0", "22:3")


@dataclass
class Order:
    account_id: str
    contract: str
    trading_day: dt.date
    day: dt.date  # calendar day (the evening before for the night session)
    time: str
    direction: str  # "buy" / "sell"
    offset: str  # "open" / "close" / "close_today"
    price: float
    volume: int
    traded: int
    status: str
    order_id: str


@dataclass
class Fill:
    account_id: str
    contract: str
    trading_day: dt.date
    day: dt.date
    time: str
    direction: str
    offset: str
    price: float
    volume: int
    commission: float
    trade_id: str
    order_id: str


@dataclass
class Holding:
    account_id: str
    day: dt.date
    contract: str
    direction: str  # "long" / "short"
    position: int
    today_position: int
    open_price: float
    average_price: float
    settle: float
    position_profit: float
    margin: float


@dataclass
class Funds:
    account_id: str
    day: dt.date
    pre_balance: float
    balance: float
    available: float
    margin: float
    position_profit: float
    close_profit: float
    commission: float


@dataclass
class ContractDay:
    """Profit of one contract on one day, split by side (for the daily return tables)."""
    account_id: str
    day: dt.date
    contract: str
    position_l: int
    position_s: int
    settle: float
    return_l: float = 0.0
    commission_l: float = 0.0
    return_s: float = 0.0
    commission_s: float = 0.0


@dataclass
class Book:
    account_id: str
    orders: list[Order] = field(default_factory=list)
    fills: list[Fill] = field(default_factory=list)
    holdings: list[Holding] = field(default_factory=list)
    funds: list[Funds] = field(default_factory=list)
    contract_days: list[ContractDay] = field(default_factory=list)


def settle_prices(rng: random.Random, days: list[dt.date]) -> dict[str, dict[dt.date, float]]:
    prices: dict[str, dict[dt.date, float]] = {}
    for c in desk.CONTRACTS:
        level = c.price
        series = {}
        for day in days:
            level *= 1 + rng.gauss(0.0, 0.012)
            series[day] = round(round(level / c.tick) * c.tick, 2)
        prices[c.code] = series
    return prices


def _session_time(rng: random.Random, contract: desk.Contract, day: dt.date) -> tuple[dt.date, str]:
    prev = desk.previous_trading_day(day)
    # No night session opens the first day after a holiday.
    night_possible = contract.night and not any(
        prev + dt.timedelta(days=k) in desk.HOLIDAYS for k in range(1, (day - prev).days)
    )
    if night_possible and rng.random() < 0.35:
        return prev, rng.choice(NIGHT_SLOTS) + f"{rng.randrange(10)}:{rng.randrange(60):02d}"
    return day, rng.choice(DAY_SLOTS) + f"{rng.randrange(10)}:{rng.randrange(60):02d}"


class _Leg:
    """Position of one contract: signed lots, average price, lots opened today."""

    def __init__(self, lots: int, price: float):
        self.lots = lots
        self.avg = price
        self.opened_today = 0


def simulate(account: desk.Account, rng: random.Random, days: list[dt.date],
             prices: dict[str, dict[dt.date, float]], targets: dict[tuple[dt.date, str], int] | None = None,
             serial_base: int = 100000) -> tuple[Book, dict[tuple[dt.date, str], int]]:
    """Trades `account` through `days`; `targets` (day, contract) -> lots forces the same
    targets as another account (a copy account follows its main account's signals)."""
    book = Book(account.account_id)
    universe = desk.UNIVERSE[account.account_id]
    legs = {code: _Leg(rng.choice((-3, -2, 0, 2, 3, 5)), desk.CONTRACT_BY_CODE[code].price) for code in universe}
    if targets is not None:
        legs = {code: _Leg(targets.get(("initial", code), 0), desk.CONTRACT_BY_CODE[code].price)
                for code in universe}
    chosen: dict = {("initial", code): leg.lots for code, leg in legs.items()}
    balance = account.market_value
    serial = serial_base
    prev_settle = {code: desk.CONTRACT_BY_CODE[code].price for code in universe}

    for day in days:
        pre_balance = balance
        commission_total = close_profit = 0.0
        pnl = 0.0
        per_contract: dict[str, ContractDay] = {}
        for code in universe:
            c = desk.CONTRACT_BY_CODE[code]
            leg = legs[code]
            leg.opened_today = 0
            settle = prices[code][day]
            start_lots = leg.lots
            cd = per_contract[code] = ContractDay(account.account_id, day, code, 0, 0, settle)
            carried = (settle - prev_settle[code]) * start_lots * c.multiplier
            if start_lots >= 0:
                cd.return_l += carried
            else:
                cd.return_s += carried

            if targets is not None:
                target = targets.get((day, code), leg.lots)
            elif rng.random() < 0.55:
                target = max(-10, min(10, leg.lots + rng.choice((-3, -2, -1, 1, 2, 3))))
            else:
                target = leg.lots
            chosen[(day, code)] = target
            diff = target - leg.lots
            # Close first, then open the rest on the other side.
            legs_to_trade = []
            if diff and leg.lots and (diff > 0) != (leg.lots > 0):
                closing = min(abs(diff), abs(leg.lots))
                legs_to_trade.append(("close", closing))
                if abs(diff) > closing:
                    legs_to_trade.append(("open", abs(diff) - closing))
            elif diff:
                legs_to_trade.append(("open", abs(diff)))
            direction = "buy" if diff > 0 else "sell"
            for offset, lots in legs_to_trade:
                calendar_day, time = _session_time(rng, c, day)
                serial += 1
                order_id = f"{serial:08d}"
                price = round(round(prev_settle[code] * (1 + rng.gauss(0, 0.003)) / c.tick) * c.tick, 2)
                # Now and then an order is cancelled first and sent again.
                if rng.random() < 0.15:
                    book.orders.append(Order(account.account_id, code, day, calendar_day, time, direction, offset,
                                             price, lots, 0, "cancelled", order_id))
                    serial += 1
                    order_id = f"{serial:08d}"
                book.orders.append(Order(account.account_id, code, day, calendar_day, time, direction, offset,
                                         price, lots, lots, "filled", order_id))
                parts = [lots] if lots < 2 or rng.random() < 0.6 else [lots // 2, lots - lots // 2]
                for part in parts:
                    commission = round(price * part * c.multiplier * COMMISSION_RATE, 2)
                    fill = Fill(account.account_id, code, day, calendar_day, time, direction, offset, price, part,
                                commission, f"T{day:%m%d}{serial:06d}{len(book.fills) % 100:02d}", order_id)
                    book.fills.append(fill)
                    commission_total += commission
                    signed = part if direction == "buy" else -part
                    traded_pnl = (settle - price) * signed * c.multiplier
                    long_side = (direction == "buy") == (offset == "open")
                    if long_side:
                        cd.return_l += traded_pnl
                        cd.commission_l += commission
                    else:
                        cd.return_s += traded_pnl
                        cd.commission_s += commission
                    if offset == "close":
                        close_profit += (price - leg.avg) * -signed * c.multiplier
                        leg.lots += signed
                    else:
                        total = abs(leg.lots) + part
                        leg.avg = (leg.avg * abs(leg.lots) + price * part) / total
                        leg.lots += signed
                        leg.opened_today += part
            pnl += cd.return_l + cd.return_s
            cd.position_l = max(leg.lots, 0)
            cd.position_s = max(-leg.lots, 0)
            prev_settle[code] = settle

        margin = position_profit = 0.0
        for code in universe:
            leg = legs[code]
            if not leg.lots:
                continue
            c = desk.CONTRACT_BY_CODE[code]
            settle = prices[code][day]
            profit = round((settle - leg.avg) * leg.lots * c.multiplier, 2)
            used = round(settle * abs(leg.lots) * c.multiplier * MARGIN_RATE, 2)
            margin += used
            position_profit += profit
            book.holdings.append(Holding(
                account.account_id, day, code, "long" if leg.lots > 0 else "short", abs(leg.lots),
                min(leg.opened_today, abs(leg.lots)), round(leg.avg, 2), round(leg.avg, 2), settle, profit, used,
            ))
        balance = round(pre_balance + pnl - commission_total, 2)
        book.funds.append(Funds(account.account_id, day, round(pre_balance, 2), balance,
                                round(balance - margin, 2), round(margin, 2), round(position_profit, 2),
                                round(close_profit, 2), round(commission_total, 2)))
        book.contract_days.extend(cd for cd in per_contract.values()
                                  if cd.return_l or cd.return_s or cd.commission_l or cd.commission_s)
    return book, chosen
