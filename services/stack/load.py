"""Loading the schema and the demo data into the stores; reloading single tables or caches."""
from __future__ import annotations

import contextlib
from typing import Iterable

from services import demo
from services.clickhouse_http.sqltext import split_statements
from services.endpoints import REPO_ROOT

from . import clients

SCHEMA_DIR = REPO_ROOT / "services" / "schema"
CLICKHOUSE_DATABASES = ("factors", "strategy", "trade", "simulate", "other")


def _script(name: str) -> list[str]:
    return split_statements((SCHEMA_DIR / name).read_text(encoding="utf-8"))


def _check_known(names: Iterable[str], known: dict, store: str) -> None:
    unknown = [n for n in names if n not in known]
    if unknown:
        raise KeyError(f"no demo table {unknown} in the {store} store; known: {sorted(known)}")


# -- ClickHouse ------------------------------------------------------------------------


def clickhouse_schema(client) -> None:
    """Drops the desk's databases and creates them again, empty."""
    for db in CLICKHOUSE_DATABASES:
        client.command(f"DROP DATABASE IF EXISTS {db} SYNC")
    for statement in _script("clickhouse.sql"):
        client.command(statement)


def clickhouse_tables(client, tables: Iterable[str] | None = None) -> None:
    """Empties the given tables ("database.table"; all by default) and fills them with demo rows."""
    data = demo.build().clickhouse
    names = list(data) if tables is None else list(tables)
    _check_known(names, data, "ClickHouse")
    for name in names:
        client.command(f"TRUNCATE TABLE {name}")
        table = data[name]
        if table.rows:
            client.insert(name, table.rows, column_names=table.columns)


# -- MySQL -----------------------------------------------------------------------------


def mysql_schema(conn) -> None:
    data = demo.build().mysql
    with conn.cursor() as cur:
        # The copy table is created LIKE the original, so drop it first.
        for name in sorted(data, key=lambda n: n != "daily_return_fz"):
            cur.execute(f"DROP TABLE IF EXISTS `{name}`")
        for statement in _script("mysql.sql"):
            cur.execute(statement)
    conn.commit()


def mysql_tables(conn, tables: Iterable[str] | None = None) -> None:
    """Empties the given tables of database trade (all by default) and fills them with demo rows."""
    data = demo.build().mysql
    names = list(data) if tables is None else list(tables)
    _check_known(names, data, "MySQL")
    with conn.cursor() as cur:
        for name in names:
            table = data[name]
            cur.execute(f"DELETE FROM `{name}`")
            if table.rows:
                cols = ", ".join(f"`{c}`" for c in table.columns)
                marks = ", ".join(["%s"] * len(table.columns))
                cur.executemany(f"INSERT INTO `{name}` ({cols}) VALUES ({marks})", table.rows)
    conn.commit()


# -- Redis -----------------------------------------------------------------------------


def redis_cache(name: str) -> None:
    """Empties database 0 of one cache ("central", "prod", "prod67", "prod65") and writes its demo entries."""
    entries = demo.build().redis[name]
    conn = clients.redis(name)
    try:
        pipe = conn.pipeline(transaction=True)
        pipe.flushdb()
        for entry in entries:
            if entry.kind == "string":
                pipe.set(entry.key, entry.value)
            elif entry.kind == "list":
                if entry.value:
                    pipe.rpush(entry.key, *entry.value)
            elif entry.kind == "hash":
                if entry.value:
                    pipe.hset(entry.key, mapping=entry.value)
            else:
                raise ValueError(f"unknown entry kind {entry.kind!r}")
        pipe.execute()
    finally:
        conn.close()


# -- everything ------------------------------------------------------------------------


def reload(clickhouse: Iterable[str] | None = (), mysql: Iterable[str] | None = (),
           caches: Iterable[str] = (), schema: bool = False) -> None:
    """Puts the demo data back into the named ClickHouse tables, MySQL tables and Redis
    caches (None: all of that store); with `schema`, both stores' schemas are recreated
    first. A store is connected to only when something of it is named."""
    if schema or clickhouse is None or clickhouse:
        with contextlib.closing(clients.clickhouse()) as ch:
            if schema:
                clickhouse_schema(ch)
            clickhouse_tables(ch, clickhouse)
    if schema or mysql is None or mysql:
        with contextlib.closing(clients.mysql()) as conn:
            if schema:
                mysql_schema(conn)
            mysql_tables(conn, mysql)
    for name in caches:
        redis_cache(name)


def load_all(include_redis: bool = True) -> None:
    """Schema and demo data everywhere: a second run resets whatever tests changed."""
    reload(None, None, demo.build().redis if include_redis else (), schema=True)
