"""Hand-picked results, each compared with the pandas pipeline."""
import datetime as dt
import decimal
import ipaddress
import uuid
import zoneinfo

import pytest

from .pipeline import assert_matches_pandas

D = decimal.Decimal
SH = zoneinfo.ZoneInfo("Asia/Shanghai")
NY = zoneinfo.ZoneInfo("America/New_York")
UTC = dt.timezone.utc
PLUS8 = dt.timezone(dt.timedelta(hours=8))
NAN = float("nan")
INF = float("inf")


def col(*values):
    """A one-column result."""
    return [(v,) for v in values]


class WithToDict:
    def toDict(self):
        return {"q": 1.23456789012345, "d": dt.date(2024, 1, 2)}


class BrokenToDict:
    def toDict(self):
        raise RuntimeError("no dict")


class Attributes:
    def __init__(self):
        self.b = [1, dt.datetime(2024, 1, 1, 1, 1, 1, 999)]
        self.a = 0.1
        self._hidden = 3

    @property
    def failing(self):
        raise RuntimeError("skipped by the encoder")

    def method(self):
        return None


# (id, result_set, column_names, text_columns)
CASES = [
    # ints: int64, uint64, beyond; ints with a missing value become floats
    ("int64", col(0, -1, 2**63 - 1, -(2**63)), ["a"], []),
    ("uint64", col(2**64 - 1, 1), ["a"], []),
    ("int_uint_conflict", col(-1, 2**63), ["a"], []),
    ("int_uint_conflict_after_none", col(None, 2**64 - 1, -1), ["a"], []),
    ("int128", col(2**100, -(2**100), 1), ["a"], []),
    ("int128_after_none", col(None, 2**100), ["a"], []),
    ("int_none_to_float", col(1, None, 2**53 + 1, -7), ["a"], []),
    ("uint_none_to_float", col(None, 2**63, 2**64 - 1), ["a"], []),
    ("int_float_to_float", col(3, 2.5, 12345678901234567), ["a"], []),
    ("int_nan_to_float", col(3, NAN), ["a"], []),
    ("float_then_int128", col(1.5, 2**70), ["a"], []),
    # floats: the 10-decimal rendering and its thresholds
    ("float_specials", col(NAN, INF, -INF, -0.0, 0.0), ["a"], []),
    ("float_fixed_limits", col(1e16, 9999999999999998.0, 1.0000000000000002e16, 1e-15, 9.99e-16, 5e-16), ["a"], []),
    ("float_extremes", col(1.7976931348623157e308, -1.7976931348623157e308, 5e-324, 2.2250738585072014e-308), ["a"], []),
    ("float_ten_decimals", col(0.1, 0.3, 1 / 3, 2 / 3, 123456789.123456789, 0.00000000005, 0.00000000015,
                                0.99999999995, 1.00000000005, 2.5e-10, 1.5e-10, 12.339999999999998), ["a"], []),
    ("float_tiny_negative", col(-3e-12, -1e-20, -0.00000000004), ["a"], []),
    ("float_beyond_2_53", col(2.0**53 + 2, 123456789012.123456789, 9007199254.740993), ["a"], []),
    ("all_nan", col(NAN, None), ["a"], []),
    ("all_none", col(None, None), ["a"], []),
    # bools
    ("bool", col(True, False), ["a"], []),
    ("bool_none", col(True, None), ["a"], []),
    ("bool_int", col(True, 3), ["a"], []),
    ("bool_float", col(False, 1.5), ["a"], []),
    # texts
    ("text", col("", "x", "中文", "é", "😀", 'a\x00b</>&"\\\n\t\u2028'), ["a"], []),
    ("text_none_nan", col("x", None, NAN), ["a"], []),
    ("text_int", col("x", 1), ["a"], []),
    ("text_surrogate", col("a\udc80"), ["a"], []),
    ("bytes", col(b"ab", "中".encode(), None), ["a"], []),
    ("bytes_invalid", col(b"\xff\xfe"), ["a"], []),
    # decimals: fixed-point text, NaN as null, a signalling NaN fails
    ("decimal", col(D("1E+2"), D("-0"), D("0E-7"), D("0.000001234"), D("123.4500"),
                    D("12345678901234567890.123456789"), D("Infinity"), D("-Infinity"), None), ["a"], []),
    ("decimal_nan", col(D("NaN"), D("-NaN"), 1.5), ["a"], []),
    ("decimal_snan", col(D("sNaN")), ["a"], []),
    # dates: kept as objects, epoch milliseconds via nanoseconds (1677-2262)
    ("date", col(dt.date(2024, 1, 5), dt.date(1969, 12, 31), None), ["a"], []),
    ("date_edges", col(dt.date(1677, 9, 22), dt.date(2262, 4, 11)), ["a"], []),
    ("date_too_early", col(dt.date(1677, 9, 21)), ["a"], []),
    ("date_too_late", col(dt.date(2262, 4, 12)), ["a"], []),
    ("date_datetime_mix", col(dt.date(2024, 1, 5), dt.datetime(2024, 1, 5, 1)), ["a"], []),
    # naive date-times: a datetime64 column, milliseconds rounded down
    ("datetime", col(dt.datetime(2024, 1, 5, 9, 30, 1, 123456), dt.datetime(1969, 12, 31, 23, 59, 59, 998500),
                     None, NAN), ["a"], []),
    ("datetime_any_year", col(dt.datetime(1, 1, 1), dt.datetime(9999, 12, 31, 23, 59, 59, 999999)), ["a"], []),
    # in an object column: truncated toward zero, and limited to 1677-2262
    ("datetime_in_objects", col(dt.datetime(1969, 12, 31, 23, 59, 59, 998500), "x",
                                dt.datetime(1677, 9, 21, 0, 12, 43, 145225),
                                dt.datetime(2262, 4, 11, 23, 47, 16, 854775)), ["a"], []),
    ("datetime_in_objects_too_late", col(dt.datetime(2262, 4, 11, 23, 47, 16, 854776), "x"), ["a"], []),
    # zoned date-times: one zone makes a zoned column
    ("zoned", col(dt.datetime.fromtimestamp(1704418200.5, SH), None), ["a"], []),
    ("zoned_utc_variants", col(dt.datetime(2024, 1, 1, tzinfo=UTC),
                               dt.datetime(2024, 1, 1, tzinfo=zoneinfo.ZoneInfo("UTC"))), ["a"], []),
    ("zoned_mixed", col(dt.datetime(2024, 1, 5, 9, 30, tzinfo=SH), dt.datetime(2024, 1, 5, 9, 30, tzinfo=UTC)), ["a"], []),
    ("zoned_and_naive", col(dt.datetime(2024, 1, 5, 9, 30, tzinfo=SH), dt.datetime(2024, 1, 5, 9, 30)), ["a"], []),
    ("zoned_seconds_offset", col(dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(hours=8, seconds=30,
                                                                                         microseconds=500000))),
                                 "x"), ["a"], []),
    ("zoned_seconds_offset_column", col(dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(hours=8, seconds=30,
                                                                                                microseconds=500000))),
                                        None), ["a"], []),
    # durations and times
    ("timedelta", col(dt.timedelta(microseconds=-1500), dt.timedelta(days=-1, seconds=5, microseconds=7),
                      dt.timedelta(days=200000), None), ["a"], []),
    ("timedelta_in_objects", col(dt.timedelta(microseconds=-1500), dt.timedelta(days=-1, seconds=5, microseconds=7),
                                 dt.timedelta.max, "x"), ["a"], []),
    ("timedelta_beyond_int64", col(dt.timedelta.max, None), ["a"], []),
    ("time", col(dt.time(1, 2, 3), dt.time(23, 59, 59, 5), None), ["a"], []),
    # containers (Array, Tuple, Map) and other objects
    ("array", col([1, 2.5, None, 1.23456789012345, NAN, dt.date(2024, 1, 1), "x"], [], (1, (2, 3))), ["a"], []),
    ("map", col({"k": 1, 2: 3.3, None: [1], 1.5: D("2.50"), b"b": "v"}, {}), ["a"], []),
    ("set", col({1, 2, 3}, frozenset()), ["a"], []),
    ("to_dict", col(WithToDict(), BrokenToDict()), ["a"], []),
    ("attributes", col(Attributes()), ["a"], []),
    ("uuid_ascii_bytes", col(uuid.UUID(int=5)), ["a"], []),
    ("uuid_high_bytes", col(uuid.UUID("f" * 32)), ["a"], []),
    ("ipv4", col(ipaddress.IPv4Address("1.2.3.4")), ["a"], []),
    # text columns: str() after the column's inference
    ("text_dates", col(dt.date(2024, 1, 5), None, dt.date(2, 3, 4)), ["day"], ["day"]),
    ("text_datetimes", col(dt.datetime(2024, 1, 5, 1, 2, 3), dt.datetime(5, 1, 2, 3, 4, 5, 6), None), ["day"], ["day"]),
    ("text_zoned", col(dt.datetime.fromtimestamp(1730611800, NY), dt.datetime.fromtimestamp(1730615400, NY), None),
     ["day"], ["day"]),
    ("text_zoned_equal_offsets", col(dt.datetime(2024, 1, 1, tzinfo=PLUS8),
                                     dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(hours=8), "X"))),
     ["day"], ["day"]),
    ("text_timedeltas", col(dt.timedelta(microseconds=-1500), dt.timedelta(days=2, hours=3), dt.timedelta(0),
                            dt.timedelta(seconds=1, microseconds=500000), dt.timedelta(days=-106751), None),
     ["day"], ["day"]),
    ("text_int_none", col(1, None), ["day"], ["day"]),
    ("text_floats", col(0.1, 1e16, -0.0, 1e-5, 123456789.123456789, INF, NAN), ["day"], ["day"]),
    ("text_strings", col("x", None, NAN), ["day"], ["day"]),
    ("text_bools", col(True, None), ["day"], ["day"]),
    ("text_only_bools", col(True, False), ["day"], ["day"]),
    ("text_ints", col(2**64 - 1, 3), ["day"], ["day"]),
    ("text_objects", col(D("1.50"), D("sNaN"), [1, "a"], None, b"x", dt.time(1, 2)), ["day"], ["day"]),
    ("text_surrogate", col("a\udc80"), ["day"], ["day"]),
    ("text_twice", col(dt.date(2024, 1, 5)), ["day"], ["day", "day"]),
    # shapes
    ("empty", [], ["a", "day"], ["day"]),
    ("no_columns", [(), ()], [], []),
    ("list_rows", [[1, "x"], [2, "y"]], ["a", "b"], []),
    ("int_column_names", [(1, 2)], [1, 2], []),
    ("duplicate_names", [(1, "x")], ["a", "a"], []),
    ("missing_text_column", col(1), ["a"], ["day"]),
    ("missing_text_column_empty", [], ["a"], ["day"]),
    ("row_too_long", [(1, 2), (3, 4, 5)], ["a", "b"], []),
]

DEAL_COLUMNS = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "price", "volume",
                "commission", "exchange_id", "product", "vendor", "product_code", "entrust_serial_no",
                "account_id", "trade_id"]
DEAL_ROWS = [
    (dt.date(2024, 1, 5), dt.date(2024, 1, 5), dt.datetime(2024, 1, 5, 9, 30, 1, 500000), "rb2405", "买", 3456.2, 3,
     1.2345678901234, "SHFE", "rb", "ctp", "RB", "000123", "80050021", "T1"),
    (dt.date(2024, 1, 5), dt.date(2024, 1, 8), dt.datetime(2024, 1, 5, 21, 0), "IF2403", "卖", 3401.0, None,
     None, "CFFEX", "IF", "ctp", "IF", "000124", "80050021", "T2"),
]
EQUITY_ROWS = [
    ("80050021", dt.date(2024, 1, 5), 1000000.12345678901, dt.datetime(2024, 1, 5, 15, 30, 2)),
    ("60010001", dt.date(2024, 1, 5), 2.5e6, dt.datetime(1970, 1, 1)),
]
CASES += [
    ("deal_table", DEAL_ROWS, DEAL_COLUMNS, ["trading_day", "day"]),
    ("equity", EQUITY_ROWS, ["account_id", "trading_day", "balance", "update_time"], []),
]


@pytest.mark.parametrize("result_set, column_names, text_columns",
                         [case[1:] for case in CASES], ids=[case[0] for case in CASES])
def test_matches_pandas(result_set, column_names, text_columns):
    assert_matches_pandas(result_set, column_names, text_columns)


# The rules found in pandas, written out; each is also checked against it.
RULES = [
    ("ints with a missing value turn float", col(3, None), [3.0, None]),
    ("ints in a float column round to doubles", col(2**53 + 1, 0.5), [9007199254740992.0, 0.5]),
    ("uint64 stays int", col(2**64 - 1), [2**64 - 1]),
    ("NaN and infinities are null", col(NAN, INF, 1.0), [None, None, 1.0]),
    ("-0.0 is written 0.0", col(-0.0, 1.0), [0.0, 1.0]),
    ("ten decimals, ties up when odd or zero", col(0.00000000005, 0.00000000015, 0.00000000025, 1 / 3),
     [1e-10, 2e-10, 2e-10, 0.3333333333]),
    ("fixed notation down to 1e-15", col(1e-15, 9e-16), [0.0, 9e-16]),
    ("ten significant digits above 1e16", col(12345678901234567890.0, 1.7976931348623157e308), [1.23456789e19, INF]),
    ("date-times in milliseconds, rounded down", col(dt.datetime(1969, 12, 31, 23, 59, 59, 998500)), [-2]),
    ("dates among objects, truncated", col(dt.datetime(1969, 12, 31, 23, 59, 59, 998500), dt.date(1970, 1, 2)), [-1, 86400000]),
    ("decimal as fixed-point text", col(D("1.2E+3")), ["1200"]),
]


@pytest.mark.parametrize("result_set, values", [rule[1:] for rule in RULES], ids=[rule[0] for rule in RULES])
def test_rendering_rules(result_set, values):
    rows = assert_matches_pandas(result_set, ["a"])
    assert [row["a"] for row in rows] == values


@pytest.mark.parametrize("values, texts", [
    (col(dt.date(2024, 1, 5), None), ["2024-01-05", "None"]),
    (col(dt.datetime(2024, 1, 5, 1, 2, 3), None), ["2024-01-05 01:02:03", "NaT"]),
    (col("20240105", None), ["20240105", "nan"]),
    (col(20240105, None), ["20240105.0", "nan"]),
    (col(dt.timedelta(microseconds=-1500)), ["-1 days +23:59:59.998500"]),
], ids=["date", "datetime", "text", "int", "duration"])
def test_text_forms(values, texts):
    rows = assert_matches_pandas(values, ["day"], ["day"])
    assert [row["day"] for row in rows] == texts
