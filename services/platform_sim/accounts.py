"""The simulator's account book: the JSON data file, re-read when it changes."""

from __future__ import annotations

import json
import os
import sys
import threading
from dataclasses import dataclass
from typing import Any

from . import wire

FUND_FIELDS = (
    "balance", "available", "curr_margin", "frozen_margin", "close_profit",
    "position_profit", "commission", "deposit", "withdraw", "pre_balance",
    "reserve_balance", "exchange_margin", "withdraw_quota", "interest",
)

# Wire record tag, account list, and the record's fields in wire order with
# their kind: "text", "number" (float) or "int".
RECORDS = (
    ("POS", "positions", (
        ("contract", "text"), ("direction", "text"), ("today", "number"),
        ("yesterday", "number"), ("total", "number"), ("profit", "number"),
        ("margin", "number"))),
    ("TRADE", "trades", (
        ("contract", "text"), ("direction", "text"), ("offset", "text"),
        ("price", "number"), ("volume", "int"), ("time", "text"),
        ("trade_id", "text"), ("order_id", "text"))),
    ("ORDER", "orders", (
        ("contract", "text"), ("direction", "text"), ("offset", "text"),
        ("status", "text"), ("price", "number"), ("total", "int"),
        ("traded", "int"), ("time", "text"), ("order_id", "text"))),
)


def text_bytes(value: Any) -> bytes:
    """A text of the data file as the platform sends it: GBK, or raw bytes
    given as {"hex": "..."}."""
    if isinstance(value, dict):
        return bytes.fromhex(value["hex"])
    return str(value).encode("gbk")


def number_bytes(value: Any, kind: str) -> bytes:
    if kind == "int":
        return str(int(value)).encode("ascii")
    return repr(float(value)).encode("ascii")


def field_bytes(value: Any, kind: str) -> bytes:
    if kind == "text":
        return wire.escape(text_bytes(value))
    return number_bytes(value, kind)


@dataclass(frozen=True)
class Faults:
    refuse_login: bool = False
    delay: float = 0.0
    drop_after: int | None = None

    @classmethod
    def of(cls, account: dict) -> "Faults":
        drop = account.get("drop_after")
        return cls(bool(account.get("refuse_login", False)),
                   float(account.get("delay", 0)),
                   None if drop is None else int(drop))


def answer_lines(account: dict) -> list[bytes]:
    """The lines after OK for an accepted login: FUND, records, END."""
    fund = account.get("fund", {})
    lines = [wire.line(
        "FUND",
        field_bytes(account.get("trading_day", ""), "text"),
        number_bytes(account.get("settlement_id", 1), "int"),
        *(number_bytes(fund.get(name, 0), "number") for name in FUND_FIELDS))]
    counts = []
    for tag, key, fields in RECORDS:
        records = account.get(key, [])
        counts.append(len(records))
        for record in records:
            lines.append(wire.line(
                tag, *(field_bytes(record.get(name, "" if kind == "text" else 0), kind)
                       for name, kind in fields)))
    lines.append(wire.line("END", *(str(n).encode("ascii") for n in counts)))
    return lines


class AccountBook:
    """Accounts of the data file. The file is re-read when its modification
    time, size or inode change; a file that fails to parse leaves the last
    good data in place."""

    def __init__(self, path: str | os.PathLike):
        self.path = os.fspath(path)
        self._lock = threading.Lock()
        self._stamp: tuple | None = None
        self._accounts: dict[str, dict] = {}
        self.account("")  # fail early on a missing or broken file
        if self._stamp is None:
            raise ValueError(f"cannot read account data {self.path}")

    def _reload_if_changed(self) -> None:
        try:
            st = os.stat(self.path)
        except OSError as exc:
            print(f"platform_sim: {exc}", file=sys.stderr)
            return
        stamp = (st.st_mtime_ns, st.st_size, st.st_ino)
        if stamp == self._stamp:
            return
        try:
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
            accounts = data["accounts"]
            for account in accounts.values():
                answer_lines(account)  # every text must encode before it is served
        except (OSError, ValueError, KeyError, TypeError, AttributeError) as exc:
            kept = "; keeping the data read before" if self._stamp else ""
            print(f"platform_sim: cannot use {self.path}: {exc!r}{kept}", file=sys.stderr)
            return
        self._accounts = accounts
        self._stamp = stamp

    def account(self, user_id: str) -> dict | None:
        with self._lock:
            self._reload_if_changed()
            return self._accounts.get(user_id)
