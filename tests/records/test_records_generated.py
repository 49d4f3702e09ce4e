"""Generated query results, compared with the pandas pipeline: every value
type clickhouse-connect returns, missing values, mixed columns and text columns."""
import datetime as dt
import decimal
import ipaddress
import math
import struct
import uuid
import zoneinfo

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from .pipeline import assert_matches_pandas

ZONES = [dt.timezone.utc, zoneinfo.ZoneInfo("UTC"), zoneinfo.ZoneInfo("Asia/Shanghai"),
         zoneinfo.ZoneInfo("America/New_York"), dt.timezone(dt.timedelta(hours=8)),
         dt.timezone(-dt.timedelta(hours=3, minutes=30))]

# Values the 10-decimal rendering treats specially.
EDGE_FLOATS = [0.0, -0.0, 1e16, 1e16 + 2, 9999999999999998.0, 1e-15, 9.999999999999999e-16, 1e-16, 5e-324,
               1.7976931348623157e308, 2.0**53, 2.0**53 + 2, 0.1, 0.2, 0.3, 1 / 3, 0.5e-10, 1.5e-10, 2.5e-10,
               0.99999999995, 1.00000000005, 0.999999999949999, 123456789.123456789, 9007199254.740993]


def near_ties():
    """Values whose 10th decimal sits at or next to a rounding tie."""
    return st.builds(lambda whole, frac, ulps, sign: sign * _nudge((whole + (frac + 0.5) / 1e10), ulps),
                     st.integers(0, 10**6), st.integers(0, 10**10 - 1), st.integers(-2, 2), st.sampled_from([1, -1]))


def _nudge(x, ulps):
    for _ in range(abs(ulps)):
        x = math.nextafter(x, math.inf if ulps > 0 else -math.inf)
    return x


floats = st.one_of(
    st.floats(),  # any double: NaN, infinities, subnormals
    st.sampled_from(EDGE_FLOATS).map(lambda x: x) | st.sampled_from(EDGE_FLOATS).map(lambda x: -x),
    near_ties(),
    # prices and amounts as the store holds them
    st.builds(lambda n, places: n / 10**places, st.integers(-10**12, 10**12), st.integers(0, 6)),
    # Float32 columns arrive widened to double
    st.floats(width=32),
    st.integers(-60, 60).map(lambda e: 10.0**e),
)
ints = st.one_of(
    st.integers(-(2**63), 2**63 - 1),
    st.integers(0, 2**64 - 1),
    st.integers(-(2**255), 2**256 - 1),  # Int128/Int256/UInt256
    st.integers(-1000, 1000),
)
# Texts with any characters, lone surrogates included (both sides must fail on them).
texts = st.one_of(st.text(max_size=12), st.text(st.characters(codec="utf-8"), max_size=12),
                  st.sampled_from(["", "中文", "a\x00b", '"\\/\n', "😀", "\udc80", "nan", "None"]))
decimals = st.one_of(st.decimals(allow_nan=False, allow_infinity=False, places=4),
                     st.decimals(allow_nan=True, allow_infinity=True))
# The store's range; years 1-9999 come in through the mixed scalars.
dates = st.dates(min_value=dt.date(1900, 1, 1), max_value=dt.date(2299, 12, 31))
naive_datetimes = st.datetimes(min_value=dt.datetime(1900, 1, 1), max_value=dt.datetime(2299, 12, 31))
# Zoned values as the driver makes them: an instant shown in the column's zone.
zoned_datetimes = st.builds(lambda seconds, micros, zone: dt.datetime.fromtimestamp(seconds, zone).replace(
    microsecond=micros), st.integers(-2208988800, 10413792000), st.integers(0, 999999), st.sampled_from(ZONES))
durations = st.one_of(st.timedeltas(min_value=dt.timedelta(days=-3), max_value=dt.timedelta(days=3)),
                      st.timedeltas())
times = st.times()
utf8_bytes = st.text(st.characters(codec="utf-8"), max_size=8).map(str.encode)
scalars = st.one_of(ints, floats, texts, st.booleans(), st.dates(), st.datetimes(), decimals)
arrays = st.lists(st.one_of(st.none(), ints, floats, texts, dates), max_size=4)
maps = st.dictionaries(st.one_of(texts, ints), st.one_of(st.none(), ints, floats, texts), max_size=3)
# Their bytes attributes must be UTF-8: pandas' encoder reads other bytes past
# their end, with no defined result.
ascii_bytes = st.binary(min_size=16, max_size=16).map(lambda b: bytes(c & 0x7F for c in b))
uuids = ascii_bytes.map(lambda b: uuid.UUID(bytes=b))
ipv4s = ascii_bytes.map(lambda b: ipaddress.IPv4Address(b[:4]))

# One strategy per kind of store column, and mixtures of kinds.
COLUMN_VALUES = [
    ints, floats, texts, st.booleans(), decimals, dates, naive_datetimes, zoned_datetimes, durations, times,
    utf8_bytes, arrays, st.tuples(ints, texts), maps, uuids, ipv4s,
    st.one_of(ints, floats), st.one_of(ints, st.booleans()), st.one_of(texts, ints), st.one_of(dates, naive_datetimes),
    st.one_of(naive_datetimes, zoned_datetimes), st.one_of(texts, dates), scalars,
]
MISSING = [st.nothing(), st.none(), st.just(math.nan), st.sampled_from([None, math.nan])]
NAMES = ["day", "trading_day", "price", "volume", "account_id", "名称", "a b", ""]


@st.composite
def query_results(draw):
    width = draw(st.integers(1, 5))
    height = draw(st.integers(0, 8))
    names = draw(st.lists(st.sampled_from(NAMES), min_size=width, max_size=width, unique=True))
    columns = []
    for _ in range(width):
        values = draw(st.sampled_from(COLUMN_VALUES))
        missing = draw(st.sampled_from(MISSING))
        columns.append(draw(st.lists(values | missing if missing is not st.nothing() else values,
                                     min_size=height, max_size=height)))
    rows = list(zip(*columns)) if height else []
    text_columns = draw(st.lists(st.sampled_from(names), max_size=2))
    return rows, names, text_columns


@settings(max_examples=350, deadline=None, derandomize=True, database=None,
          suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
@given(query_results())
def test_generated_results_match_pandas(result):
    rows, names, text_columns = result
    assert_matches_pandas(rows, names, text_columns)


def _exact(x):
    return struct.pack("<d", x)


@settings(max_examples=150, deadline=None, derandomize=True, database=None)
@given(st.lists(floats, min_size=1, max_size=20), st.lists(st.one_of(st.none(), ints), max_size=3))
def test_float_columns_with_ints_and_missing_values(values, extra):
    # ints and None in a float column: the ints become doubles first
    assert_matches_pandas([(v,) for v in values + extra], ["price"])
