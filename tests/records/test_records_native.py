"""Records from Native bytes against the query path and the pandas pipeline, on tables of
every column type generated on the local store; the fallbacks; the reads on both paths."""
import datetime as dt
import decimal
import math
import os
import subprocess
import sys
import uuid
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from .pipeline import assert_same, pandas_records

DB = "records_native"
ENUM = "Enum8('a' = 1, 'b' = -2, '中\\'文' = 3)"
ENUM_LABELS = ["a", "b", "中'文"]
D, DT = dt.date, dt.datetime


def ints(bits, signed=True):
    return st.integers(-(2 ** (bits - 1)), 2 ** (bits - 1) - 1) if signed else st.integers(0, 2 ** bits - 1)


def int_edges(bits, signed=True):
    return [-(2 ** (bits - 1)), 2 ** (bits - 1) - 1, 0, -1] if signed else [0, 2 ** bits - 1, 1]


texts = st.text(st.characters(blacklist_categories=("Cs",)), max_size=12) | st.sampled_from(["", "中文", "é", "SHFE"])
FLOAT_EDGES = [math.nan, math.inf, -math.inf, -0.0, 0.0, 1e16, 1e-15, 5e-324, 1.7976931348623157e308, 0.1 + 0.2]

# name, ClickHouse type, values for generated rows, edge values (all inserted as rows)
COLUMNS = [
    ("i8", "Int8", ints(8), int_edges(8)),
    ("i16", "Int16", ints(16), int_edges(16)),
    ("i32", "Int32", ints(32), int_edges(32)),
    ("i64", "Int64", ints(64), int_edges(64)),
    ("i128", "Int128", ints(128), int_edges(128)),
    ("i256", "Int256", ints(256), int_edges(256)),
    ("u8", "UInt8", ints(8, False), int_edges(8, False)),
    ("u16", "UInt16", ints(16, False), int_edges(16, False)),
    ("u32", "UInt32", ints(32, False), int_edges(32, False)),
    ("u64", "UInt64", ints(64, False), int_edges(64, False)),
    ("u128", "UInt128", ints(128, False), int_edges(128, False)),
    ("u256", "UInt256", ints(256, False), int_edges(256, False)),
    ("f32", "Float32", st.floats(width=32), FLOAT_EDGES[:5] + [3.4028234663852886e38, 1.1]),
    ("f64", "Float64", st.floats(), FLOAT_EDGES),
    ("dec9", "Decimal(9, 2)", st.decimals(-9999999, 9999999, places=2, allow_nan=False),
     [decimal.Decimal("0"), decimal.Decimal("-0.01"), decimal.Decimal("9999999.99")]),
    ("dec18", "Decimal(18, 6)", st.decimals(-10**11, 10**11, places=6, allow_nan=False),
     [decimal.Decimal("-999999999999.999999"), decimal.Decimal("0.000001")]),
    ("dec0", "Decimal(18, 0)", st.decimals(-10**17, 10**17, places=0, allow_nan=False), [decimal.Decimal(0)]),
    ("s", "String", texts, ["", "中文", "a\x00b"]),
    ("fs", "FixedString(5)", st.binary(min_size=5, max_size=5),
     [b"\0" * 5, b"ab\0\0\0", "中".encode() + b"\0\0", b"\xff" * 5]),
    ("d", "Date", st.dates(D(1970, 1, 1), D(2149, 6, 6)), [D(1970, 1, 1), D(2149, 6, 6)]),
    ("d32", "Date32", st.dates(D(1900, 1, 1), D(2299, 12, 31)), [D(1900, 1, 1), D(1969, 12, 31), D(2262, 4, 11)]),
    ("t", "DateTime", st.datetimes(DT(1970, 1, 1), DT(2106, 2, 7)), [DT(1970, 1, 1), DT(2106, 2, 7, 6, 28, 15)]),
    ("tz", "DateTime('Asia/Shanghai')", st.datetimes(DT(1971, 1, 1), DT(2100, 1, 1)), [DT(2024, 1, 5, 9, 30)]),
    ("t0", "DateTime64(0)", st.datetimes(DT(1900, 1, 1), DT(2262, 1, 1)), [DT(1900, 1, 1), DT(1969, 12, 31, 23, 59, 59)]),
    ("t3", "DateTime64(3)", st.datetimes(DT(1900, 1, 1), DT(2299, 12, 31)), [DT(1969, 12, 31, 23, 59, 59, 999000)]),
    ("t6", "DateTime64(6, 'America/New_York')", st.datetimes(DT(1950, 1, 1), DT(2200, 1, 1)),
     [DT(2024, 3, 10, 7, 30, 0, 1)]),
    ("t9", "DateTime64(9)", st.datetimes(DT(1900, 1, 1), DT(2262, 1, 1)), [DT(2024, 1, 5, 9, 30, 0, 999999)]),
    ("b", "Bool", st.booleans(), [True, False]),
    ("uid", "UUID", st.uuids(), [uuid.UUID(int=0), uuid.UUID(int=2**128 - 1)]),
    ("e8", ENUM, st.sampled_from(ENUM_LABELS), ENUM_LABELS),
    ("e16", "Enum16('x' = -300, 'y' = 300)", st.sampled_from(["x", "y"]), ["x", "y"]),
    ("ni", "Nullable(Int32)", st.none() | ints(32), [None, 5]),
    ("nf", "Nullable(Float64)", st.none() | st.floats(), [None, math.nan]),
    ("ns", "Nullable(String)", st.none() | texts, [None, ""]),
    ("nd", "Nullable(Date)", st.none() | st.dates(D(1970, 1, 1), D(2149, 6, 6)), [None]),
    ("nt", "Nullable(DateTime64(3))", st.none() | st.datetimes(DT(1970, 1, 1), DT(2200, 1, 1)), [None]),
    ("nb", "Nullable(Bool)", st.none() | st.booleans(), [None, True]),
    ("lc", "LowCardinality(String)", texts, ["", "SHFE", "中文"]),
    ("lcn", "LowCardinality(Nullable(String))", st.none() | texts, [None, ""]),
    ("lcf", "LowCardinality(FixedString(3))", st.binary(min_size=3, max_size=3), [b"abc"]),
    ("lcd", "LowCardinality(Date)", st.dates(D(1970, 1, 1), D(2149, 6, 6)), [D(2024, 1, 5)]),
    # Not decoded natively: read through the query path.
    ("dec38", "Decimal(38, 10)", st.decimals(-10**20, 10**20, places=10, allow_nan=False), [decimal.Decimal(1)]),
    ("arr", "Array(Int32)", st.lists(ints(32), max_size=3), [[]]),
]
FALLBACK = {"dec38", "arr"}
NAMES = [c[0] for c in COLUMNS]


@pytest.fixture(scope="module")
def table(ch_client):
    ch_client.command(f"CREATE DATABASE IF NOT EXISTS {DB}")
    columns = ", ".join(f"{name} {type_}" for name, type_, _, _ in COLUMNS)
    ch_client.command(f"CREATE OR REPLACE TABLE {DB}.types ({columns}) ENGINE = Memory",
                      settings={"allow_suspicious_low_cardinality_types": 1})
    yield f"{DB}.types"
    ch_client.command(f"DROP DATABASE IF EXISTS {DB}")


def fill(client, table, rows):
    client.command(f"TRUNCATE TABLE {table}")
    if rows:
        client.insert(table, rows, column_names=NAMES)


def edge_rows():
    """One row per edge value of the longest list, the others cycled."""
    longest = max(len(c[3]) for c in COLUMNS)
    return [[c[3][i % len(c[3])] for c in COLUMNS] for i in range(longest)]


def outcome(fn):
    try:
        return "rows", fn()
    except Exception as e:  # noqa: BLE001 - the read turns any Exception into its code-2 text
        return "error", e


def query_path(client, sql, text_columns):
    """The read's fallback: query, result_set, the records (no rows: [])."""
    found = client.query(sql)
    if not found.result_set:
        return []
    return P._history_records(found.result_set, found.column_names, text_columns)


def pipeline(client, sql, text_columns):
    found = client.query(sql)
    if not found.result_set:
        return []
    return pandas_records(found.result_set, found.column_names, text_columns)


def assert_three_agree(client, sql, text_columns=(), native_expected=True):
    text_columns = list(text_columns)
    if native_expected:
        decoded = outcome(lambda: P._native_records(client.raw_query(sql, fmt="Native")))
        assert decoded[1] is not None, f"not decoded natively: {sql}"
    native = outcome(lambda: P._query_records(client, sql, text_columns))
    today = outcome(lambda: query_path(client, sql, text_columns))
    # The reads answer repr(error): the same error, or the same rows.
    assert native[0] == today[0], (sql, native, today)
    if native[0] == "error":
        assert repr(native[1]) == repr(today[1]), sql
        if not isinstance(native[1], UnicodeDecodeError):
            # bytes that are no UTF-8 are refused on purpose; pandas' output for them is undefined
            assert outcome(lambda: pipeline(client, sql, text_columns))[0] == "error", (sql, text_columns, native)
        return
    assert_same(native[1], today[1])
    expected = outcome(lambda: pipeline(client, sql, text_columns))
    if expected[0] == "rows":
        assert_same(native[1], expected[1])


def check_every_column(client, table):
    for name in NAMES:
        for text_columns in ([], [name]):
            assert_three_agree(client, f"SELECT {name} FROM {table}", text_columns, name not in FALLBACK)
    safe = [n for n in NAMES if n not in ("d32", "uid", "t3")]  # those may raise on their own
    assert_three_agree(client, f"SELECT {', '.join(safe)} FROM {table}", ["d", "t", "s"], False)


def test_edge_values_agree(ch_client, table):
    fill(ch_client, table, edge_rows())
    check_every_column(ch_client, table)
    # Strings are bytes in the store: some are no UTF-8 at all.
    for text_columns in ([], ["s", "lc"]):
        assert_three_agree(ch_client, "SELECT unhex(concat('ff', hex(number))) AS s, "
                           "toLowCardinality(unhex('c3')) AS lc FROM numbers(3)", text_columns)


@settings(max_examples=6, deadline=None, suppress_health_check=list(HealthCheck))
@given(rows=st.lists(st.tuples(*(c[2] for c in COLUMNS)), min_size=1, max_size=12))
def test_generated_tables_agree(ch_client, table, rows):
    fill(ch_client, table, [list(r) for r in rows])
    check_every_column(ch_client, table)


def test_no_rows_is_an_empty_list_on_both_paths(ch_client, table):
    fill(ch_client, table, [])
    sql = f"SELECT * FROM {table}"
    assert P._query_records(ch_client, sql, ["missing"]) == []
    assert P._query_records(WithoutRaw(ch_client), sql, ["missing"]) == []


def test_blocks_are_joined(ch_client):
    sql = ("SELECT number, toString(number % 7) AS s, toLowCardinality(toString(number % 3)) AS lc "
           "FROM numbers(100000) SETTINGS max_block_size = 1000")
    raw = ch_client.raw_query(sql, fmt="Native")
    rows = P._native_records(raw)
    assert len(rows) == 100000 and rows[-1] == {"number": 99999, "s": str(99999 % 7), "lc": str(99999 % 3)}
    assert_same(rows, query_path(ch_client, sql, []))


class WithoutRaw:
    """A substituted client offering only query."""

    def __init__(self, client):
        self.query = client.query


class OddRaw(WithoutRaw):
    """A stand-in whose raw_query answers no bytes (as a mock would)."""

    def raw_query(self, *args, **kwargs):
        return object()


class Truncated:
    def __init__(self, client, keep):
        self.client, self.keep = client, keep
        self.query = client.query

    def raw_query(self, sql, fmt):
        return self.client.raw_query(sql, fmt=fmt)[: self.keep]


@pytest.mark.parametrize("wrap", [WithoutRaw, OddRaw], ids=["no_raw_query", "raw_query_not_bytes"])
def test_clients_without_native_take_the_query_path(ch_client, table, wrap):
    fill(ch_client, table, edge_rows())
    sql = f"SELECT i64, f64, s, d, t, ns, lcn FROM {table}"
    assert_same(P._query_records(wrap(ch_client), sql, ["d"]), P._query_records(ch_client, sql, ["d"]))


@pytest.fixture
def account(stack):
    return Pelmora("80050021", "k-80050021", "trader01")


def test_reads_agree_on_both_paths(account, ch_client):
    """Every history read of the demo accounts: the same answer through Native and through query."""
    reads = ["fun_read_position", "fun_read_order", "fun_read_deal", "fun_read_equity"]
    rows = 0
    for read in reads:
        native = getattr(account, read)("20240101", "20241231")
        account.client = WithoutRaw(ch_client)
        try:
            fallback = getattr(account, read)("20240101", "20241231")
        finally:
            account.client = ch_client
        assert native["code"] == 0, (read, native)
        # UNION ALL parts may come back in either order from one run to the next.
        for got in (native, fallback):
            got["data"].sort(key=repr)
        assert_same(native, fallback)
        rows += len(native["data"])
    assert rows > 0


def test_corrupt_native_answer_is_the_reads_failure(account, ch_client):
    account.client = Truncated(ch_client, 40)
    got = account.fun_read_deal("20240101", "20241231")
    assert got["code"] == 2 and got["msg"].startswith("ValueError(") and "line_no: " in got["msg"], got


TZ_SCRIPT = Path(__file__).with_name("zone_check.py")


@pytest.mark.parametrize("zone", ["UTC", "Asia/Shanghai", "America/New_York", "Australia/Lord_Howe"])
def test_date_times_agree_in_every_process_zone(stack, zone):
    """clickhouse-connect's zone rules (server, local, column zones; client tz settings) decide
    what a date-time is on both paths, whatever TZ the process runs in."""
    env = dict(os.environ, TZ=zone)
    done = subprocess.run([sys.executable, str(TZ_SCRIPT)], env=env, capture_output=True, text=True, timeout=300,
                          cwd=Path(__file__).resolve().parents[2])
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.strip().endswith("agree"), done.stdout
