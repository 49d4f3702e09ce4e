"""Simulated risk-control platform for the trader library (libtrader.so).

Run it:

    python -m services.platform_sim --host 127.0.0.1 --port 10911 \\
        --data services/platform_sim/demo_accounts.json

or in-process (tests), on a free port:

    with PlatformSimulator("accounts.json") as sim:
        query_trader_all_info("127.0.0.1", str(sim.port), "80050021", "580914", "fund")

Data file (UTF-8 JSON), re-read whenever its modification time, size or inode
changes, so the data can be changed between two logins by rewriting the file:

    {"accounts": {
        "<user id>": {
            "password": "580914",
            "trading_day": "20250314",
            "settlement_id": 1,
            "fund": {"balance": ..., "available": ..., "curr_margin": ...,
                     "frozen_margin": ..., "close_profit": ..., "position_profit": ...,
                     "commission": ..., "deposit": ..., "withdraw": ...,
                     "pre_balance": ..., "reserve_balance": ...,
                     "exchange_margin": ..., "withdraw_quota": ..., "interest": ...},
            "positions": [{"contract", "direction" ("Long"/"Short"), "today",
                           "yesterday", "total", "profit", "margin"}, ...],
            "trades": [{"contract", "direction", "offset", "price", "volume",
                        "time", "trade_id", "order_id"}, ...],
            "orders": [{"contract", "direction", "offset", "status", "price",
                        "total", "traded", "time", "order_id"}, ...]
        }}}

Missing fund figures and record fields are sent as 0 or the empty text.
Texts are sent GBK-encoded; a text given as {"hex": "c8ab..."} is sent as
exactly those bytes (for invalid GBK or embedded NUL bytes).

Faults, per account:

    "refuse_login": true   the login is refused (as are a wrong password and
                           an unknown user id)
    "delay": 2.5           seconds to wait before answering the login; longer
                           than the library's answer limit looks like a
                           silent platform
    "drop_after": 3        send that many answer lines (OK, FUND, records,
                           END), then half of the next one, then close the
                           connection

`PlatformSimulator.events()` records what each connection did, for tests.
"""

from .server import PlatformSimulator

__all__ = ["PlatformSimulator"]
