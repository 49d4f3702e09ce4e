"""The demo desk: accounts, users, contracts and the trading calendar of the demo history."""
from __future__ import annotations

import datetime as dt
from dataclasses import dataclass

SEED = 20240902

# History covers September 2024 (the Mid-Autumn holiday, 16-17 September, has no session).
HISTORY_START = dt.date(2024, 9, 2)
HISTORY_END = dt.date(2024, 9, 30)
HOLIDAYS = frozenset({dt.date(2024, 9, 16), dt.date(2024, 9, 17)})

OPEN_END = "2500-12-31 00:00:00"  # zip_enddate of the open version of a register row
CURRENT_SINCE = "2024-07-01 08:00:00"  # the open versions begin here, so they are valid now
EXPIRED_SINCE = "2023-01-03 08:00:00"  # the closed versions span EXPIRED_SINCE .. CURRENT_SINCE

PLATFORM_PASSWORD = "580914"


@dataclass(frozen=True)
class Account:
    account_id: str
    acquire_key: str
    user_id: str
    envs: tuple[str, ...]  # register rows, one per environment
    strategy: str
    market_value: float
    trade_flag: str = "T"
    product_name: str = ""

    @property
    def production(self) -> bool:
        return self.account_id.startswith("8")


MAIN = Account("80050021", "k-80050021", "trader01", ("test", "prod"), "cta_trend", 12_000_000.0,
               product_name="稳健CTA一号")
LONG_ID = Account("8005002101", "k-8005002101", "trader01", ("test",), "cta_trend_b", 3_000_000.0,
                  product_name="稳健CTA一号B")
COPY = Account("80050077", "k-80050077", "trader01", ("test",), "cta_trend", 6_000_000.0,
               product_name="稳健CTA一号跟投")
SIM = Account("60010001", "k-60010001", "trader01", ("test",), "sim_cta", 1_000_000.0,
              product_name="仿真测试组合")
IDLE = Account("80050033", "k-80050033", "trader02", ("prod",), "arbitrage", 2_000_000.0, trade_flag="F",
               product_name="套利二号")

ACCOUNTS = (MAIN, LONG_ID, COPY, SIM, IDLE)
TRADED = (MAIN, LONG_ID, COPY, SIM)  # accounts with a trading history

# Copy pairings: (main, copy, is_valid).
PAIRINGS = (
    (MAIN.account_id, COPY.account_id, 1),
    (LONG_ID.account_id, COPY.account_id, 0),
)

SPLIT_MODES = ("43210001", "43210002")


@dataclass(frozen=True)
class Contract:
    code: str
    commodity: str
    name: str
    exchange: str
    sector: str
    multiplier: int
    price: float  # level at the start of the history
    tick: float
    night: bool  # has a night session


CONTRACTS = (
    Contract("rb2501", "rb", "螺纹钢", "SHFE", "黑色", 10, 3180.0, 1.0, True),
    Contract("hc2501", "hc", "热轧卷板", "SHFE", "黑色", 10, 3290.0, 1.0, True),
    Contract("i2501", "i", "铁矿石", "DCE", "黑色", 100, 735.0, 0.5, True),
    Contract("cu2411", "cu", "铜", "SHFE", "有色", 5, 72800.0, 10.0, True),
    Contract("al2411", "al", "铝", "SHFE", "有色", 5, 19450.0, 5.0, True),
    Contract("au2412", "au", "黄金", "SHFE", "贵金属", 1000, 568.0, 0.02, True),
    Contract("m2501", "m", "豆粕", "DCE", "农产品", 10, 3010.0, 1.0, True),
    Contract("y2501", "y", "豆油", "DCE", "农产品", 10, 7620.0, 2.0, True),
    Contract("SR501", "SR", "白糖", "CZCE", "农产品", 10, 5790.0, 1.0, True),
    Contract("TA501", "TA", "PTA", "CZCE", "能化", 5, 4870.0, 2.0, True),
    Contract("IF2409", "IF", "沪深300股指", "CFFEX", "股指", 300, 3290.0, 0.2, False),
    Contract("IC2409", "IC", "中证500股指", "CFFEX", "股指", 200, 4960.0, 0.2, False),
)
CONTRACT_BY_CODE = {c.code: c for c in CONTRACTS}
# A combination (spread) contract: its code is longer than a plain contract's.
SPREAD = "SP rb2501&rb2505"

# Which contracts each traded account holds.
UNIVERSE = {
    MAIN.account_id: ("rb2501", "hc2501", "i2501", "cu2411", "au2412", "m2501", "SR501", "IF2409"),
    LONG_ID.account_id: ("al2411", "y2501", "TA501", "IC2409"),
    SIM.account_id: ("rb2501", "cu2411", "m2501", "TA501"),
}
UNIVERSE[COPY.account_id] = UNIVERSE[MAIN.account_id]

VENDOR_IS = "is"
VENDOR_IDATA = "idata"

FACTORS_VESK = (
    "Factor_Momentum_Long", "Factor_Warehouse", "Factor_Skew", "Factor_Inventory", "Factor_Momentum_Mid",
    "Factor_Profit", "Factor_RuleBased_Long", "Factor_Basis_TS", "Factor_CSMom_Long", "Factor_Basis_Mom",
)
FACTORS_OTHER = ("Factor_Carry", "Factor_Volatility", "Factor_Liquidity")
FACTORS = FACTORS_VESK + FACTORS_OTHER


def trading_days() -> list[dt.date]:
    days = []
    day = HISTORY_START
    while day <= HISTORY_END:
        if day.weekday() < 5 and day not in HOLIDAYS:
            days.append(day)
        day += dt.timedelta(days=1)
    return days


def previous_trading_day(day: dt.date) -> dt.date:
    """The calendar day whose evening (night session) opens trading day `day`."""
    prev = day - dt.timedelta(days=1)
    while prev.weekday() >= 5 or prev in HOLIDAYS:
        prev -= dt.timedelta(days=1)
    return prev


def ymd(day: dt.date) -> str:
    return day.strftime("%Y%m%d")
