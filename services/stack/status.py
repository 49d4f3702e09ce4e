"""What each service of the stack answers right now, with a glance at its demo data."""
from __future__ import annotations

from dataclasses import dataclass

from services import demo

from . import clients, procs
from .components import components


@dataclass
class Report:
    name: str
    address: str
    ok: bool
    detail: str

    def line(self) -> str:
        return f"{self.name:<15} {self.address:<17} {'OK  ' if self.ok else 'DOWN'} {self.detail}"


def _clickhouse() -> str:
    client = clients.clickhouse()
    try:
        total = client.command("SELECT count(*) FROM factors.t_account_info")
        valid = client.command(
            "SELECT count(*) FROM factors.t_account_info "
            "WHERE toString(now64()) >= zip_begindate AND toString(now64()) < zip_enddate"
        )
        days = client.query("SELECT min(day), max(day), count() FROM trade.is_cpositionstatics").result_set[0]
        return (f"version {client.server_version}; register {total} rows ({valid} valid now); "
                f"positions {days[2]} rows {days[0]}..{days[1]}")
    finally:
        client.close()


def _mysql() -> str:
    conn = clients.mysql()
    try:
        with conn.cursor() as cur:
            cur.execute("SELECT count(*), min(trading_day), max(trading_day) FROM daily_return")
            n, first, last = cur.fetchone()
            cur.execute("SELECT VERSION()")
            version = cur.fetchone()[0]
        return f"version {version}; trade.daily_return {n} rows {first}..{last}"
    finally:
        conn.close()


def _redis(name: str) -> str:
    conn = clients.redis(name, timeout=1.0)
    try:
        conn.ping()
        return f"{conn.dbsize()} keys"
    finally:
        conn.close()


def _platform() -> str:
    accounts = ", ".join(dict.fromkeys(a.account_id[:8] for a in demo.desk.ACCOUNTS if a.production))
    return f"accepting connections (demo accounts {accounts})"


def report() -> list[Report]:
    probes = {"clickhouse": _clickhouse, "mariadb": _mysql, "platform": _platform}
    out = []
    for c in components():
        reason = c.unavailable()
        if reason:
            out.append(Report(c.name, c.address, False, f"not available: {reason}"))
            continue
        if c.name.startswith("redis-"):
            probe = (lambda n=c.name[len("redis-"):]: _redis(n))
        else:
            probe = probes[c.name]
        if not procs.port_open(c.host, c.port):
            out.append(Report(c.name, c.address, False, "not listening"))
            continue
        try:
            out.append(Report(c.name, c.address, True, probe()))
        except Exception as ex:  # any client's error means: not answering as it should
            out.append(Report(c.name, c.address, False, f"{type(ex).__name__}: {str(ex)[:160]}"))
    return out


def missing_demo_data() -> list[str]:
    """The stores that answer but hold none of the demo desk (e.g. a cache that was stopped
    before it could keep a snapshot), one line each; empty when every store has data."""
    def clickhouse_rows() -> int:
        client = clients.clickhouse()
        try:
            return int(client.command("SELECT count() FROM factors.t_account_info"))
        finally:
            client.close()

    def mysql_rows() -> int:
        conn = clients.mysql()
        try:
            with conn.cursor() as cur:
                cur.execute("SELECT count(*) FROM daily_return")
                return int(cur.fetchone()[0])
        finally:
            conn.close()

    def redis_keys(name: str) -> int:
        conn = clients.redis(name, timeout=1.0)
        try:
            return int(conn.dbsize())
        finally:
            conn.close()

    data = demo.build()
    probes = {"clickhouse": ("register rows", clickhouse_rows), "mariadb": ("trade.daily_return rows", mysql_rows)}
    for name, entries in data.redis.items():
        if entries:
            probes[f"redis-{name}"] = ("keys", lambda n=name: redis_keys(n))
    missing = []
    for c in components():
        if c.name not in probes or not procs.port_open(c.host, c.port):
            continue
        what, count = probes[c.name]
        try:
            n = count()
        except Exception as ex:  # a dropped database or table is missing data too
            missing.append(f"{c.name} ({type(ex).__name__}: {str(ex).splitlines()[0][:100]})")
            continue
        if n == 0:
            missing.append(f"{c.name} (0 {what})")
    return missing
