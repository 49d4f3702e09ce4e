"""The Native decoder and the tables made from it under truncated, corrupted and random
streams: rows and tables, None (a type read the other way) or a Python exception, never a
crash. Needs no services, so the sanitizer build runs it as it is."""
import struct

import numpy as np
import pandas as pd
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import pelmora.Pelmora as P
from services.clickhouse_http.native import varint
from tests.fakes.native import block, strings, text


def low_cardinality(dictionary, keys):
    # version, index type (UInt8 keys, additional keys), dictionary, row count, keys
    return (struct.pack("<QQQ", 1, 0x600, len(dictionary)) + strings(dictionary)
            + struct.pack("<Q", len(keys)) + bytes(keys))


ROWS = 3
SEEDS = [
    block(ROWS,
          ("i", "Int32", struct.pack("<3i", -1, 0, 2**31 - 1)),
          ("s", "Nullable(String)", bytes([0, 1, 0]) + strings([b"abc", b"", "中文".encode()])),
          ("lc", "LowCardinality(Nullable(String))", low_cardinality([b"", b"x", b"\xff"], [1, 0, 2])),
          ("t", "DateTime64(3, 'UTC')", struct.pack("<3q", 0, -1, 1704418200123)),
          ("e", "Enum8('a' = 1, 'b\\'c' = 2)", bytes([1, 2, 7])),
          ("d", "Decimal(9, 2)", struct.pack("<3i", 12345, -1, 0)),
          ("u", "UUID", bytes(48)),
          ("f", "FixedString(2)", b"abcd\0\0"),
          ("d32", "Date32", struct.pack("<3i", -25567, 0, 100000)),
          ("x", "Float64", struct.pack("<3d", float("nan"), -0.0, 1e300)),
          ("b", "Nullable(Bool)", bytes([0, 0, 1, 1, 0, 2])),
          ("w", "Int128", bytes(range(48))),
          ("day", "Date", struct.pack("<3H", 0, 19727, 65535)),
          ("dt", "DateTime('Asia/Shanghai')", struct.pack("<3I", 0, 1704418200, 2**32 - 1))),
    block(2, ("a", "UInt64", struct.pack("<2Q", 2**64 - 1, 5))) + block(1, ("a", "UInt64", struct.pack("<Q", 7))),
    block(0, ("a", "String", b"")),
]
NAMES = ["i", "s", "lc", "t", "e", "d", "u", "f", "d32", "x", "b", "w", "day", "dt", "a"]


def attempt(fn, *args):
    try:
        return fn(*args)
    except Exception:  # noqa: BLE001 - any Python exception is a sound answer to bad bytes
        return "error"


def decode(data, text_columns):
    """The records and both tables of the same bytes: when the records and the tables are made,
    the rows' table is the table of the records."""
    rows = attempt(P._native_records, data, text_columns)
    assert rows is None or rows == "error" or isinstance(rows, list)
    frames = attempt(P._native_frames, data, text_columns)
    if frames == "error":
        return
    assert all(f is None or isinstance(f, pd.DataFrame) for f in frames)
    if isinstance(rows, list):
        pd.testing.assert_frame_equal(frames[0], pd.DataFrame(rows))


def test_seeds_decode():
    rows = P._native_records(SEEDS[0], ["day", "dt"])
    assert [r["i"] for r in rows] == [-1, 0, 2**31 - 1]
    assert [r["s"] for r in rows] == ["abc", None, "中文"]
    assert [r["lc"] for r in rows] == ["x", None, "ff"]  # bytes that are no UTF-8: their hex
    assert [r["e"] for r in rows] == ["a", "b'c", None]
    assert [r["d"] for r in rows] == ["123.45", "-0.01", "0.00"]
    assert [r["day"] for r in rows] == ["1970-01-01", "2024-01-05", "2149-06-06"]
    assert [r["t"] for r in rows] == [0, -1, 1704418200123]
    assert P._native_records(SEEDS[1]) == [{"a": 2**64 - 1}, {"a": 5}, {"a": 7}]
    assert P._native_records(SEEDS[2], ["missing"]) == []
    # The tables: uint64 beyond int64 stays unsigned; a header without rows keeps its names
    # for the result's table only.
    rows_table, result_table = P._native_frames(SEEDS[1])
    for table in (rows_table, result_table):
        pd.testing.assert_frame_equal(table, pd.DataFrame({"a": np.array([2**64 - 1, 5, 7], dtype=np.uint64)}))
    rows_table, result_table = P._native_frames(SEEDS[2])
    pd.testing.assert_frame_equal(rows_table, pd.DataFrame([]))
    pd.testing.assert_frame_equal(result_table, pd.DataFrame([], columns=["a"]))


@pytest.mark.parametrize("seed", range(len(SEEDS)))
def test_every_truncation_raises_or_decodes(seed):
    data = SEEDS[seed]
    for end in range(len(data)):
        decode(data[:end], [])


@settings(max_examples=400, deadline=None, suppress_health_check=list(HealthCheck))
@given(seed=st.sampled_from(SEEDS), edits=st.lists(st.tuples(st.integers(0, 10**6), st.integers(0, 255),
                                                            st.sampled_from(["set", "insert", "delete"])),
                                                  min_size=1, max_size=6),
       text_columns=st.lists(st.sampled_from(NAMES), max_size=3))
def test_mutated_streams(seed, edits, text_columns):
    data = bytearray(seed)
    for at, value, how in edits:
        at %= len(data) + 1
        if how == "set" and at < len(data):
            data[at] = value
        elif how == "insert":
            data[at:at] = bytes([value]) * (1 + value % 9)
        elif how == "delete":
            del data[at:at + 1 + value % 9]
    decode(bytes(data), text_columns)


@settings(max_examples=300, deadline=None)
@given(st.binary(max_size=200))
def test_random_bytes(data):
    decode(data, [])


@pytest.mark.parametrize("claim", [2**63, 2**40, 10**9])
def test_huge_counts_are_refused_without_allocating(claim):
    for data in (varint(1) + varint(claim) + text(b"a") + text(b"Int64"),
                 varint(claim) + varint(1),
                 varint(1) + varint(1) + text(b"a") + text(b"LowCardinality(String)") + struct.pack("<QQQ", 1, 0x600, claim)):
        with pytest.raises(ValueError):
            P._native_records(data)
