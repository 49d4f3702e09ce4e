"""Tables from Native columns against the tables pandas makes of the same values: the history
reads' table against pd.DataFrame(records), the research table against
pd.DataFrame(result_set, columns=column_names), on tables of every column type generated on
the local store, on both paths, in empty and odd answers."""
import pandas as pd
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import pelmora.Pelmora as P

from .test_records_native import COLUMNS, FALLBACK, NAMES, WithoutRaw, edge_rows, fill, outcome, table  # noqa: F401


class Answering(WithoutRaw):
    """A client whose Native answer is fixed bytes (as a real server sends for no rows)."""

    def __init__(self, client, data):
        super().__init__(client)
        self.data = data
        self.create_query_context = client.create_query_context

    def raw_query(self, sql, fmt):
        return self.data


def same_outcome(got, expected):
    assert got[0] == expected[0], (got, expected)
    if got[0] == "error":
        assert repr(got[1]) == repr(expected[1])
    else:
        pd.testing.assert_frame_equal(got[1], expected[1])


def described(client, sql):
    found = client.query(sql)
    return pd.DataFrame(found.result_set, columns=found.column_names)


def check_frames(client, sql, text_columns, native_expected):
    expected = outcome(lambda: pd.DataFrame(P._query_records(client, sql, text_columns)))
    same_outcome(outcome(lambda: P._query_frame(client, sql, text_columns)), expected)
    same_outcome(outcome(lambda: P._query_frame(WithoutRaw(client), sql, text_columns)), expected)
    values = outcome(lambda: P._values_frame(client, sql))
    if not native_expected:
        assert values == ("rows", None), sql
        return
    same_outcome(values, outcome(lambda: described(client, sql)))


def check_every_column(client, table):
    for name in NAMES:
        for text_columns in ([], [name]):
            check_frames(client, f"SELECT {name} FROM {table}", text_columns, name not in FALLBACK)
    natives = [n for n in NAMES if n not in FALLBACK]
    check_frames(client, f"SELECT {', '.join(natives)} FROM {table}", ["d", "t", "s"], True)


def test_edge_values_agree(ch_client, table):
    fill(ch_client, table, edge_rows())
    check_every_column(ch_client, table)


@settings(max_examples=4, deadline=None, suppress_health_check=list(HealthCheck))
@given(rows=st.lists(st.tuples(*(c[2] for c in COLUMNS)), min_size=1, max_size=12))
def test_generated_tables_agree(ch_client, table, rows):
    fill(ch_client, table, [list(r) for r in rows])
    check_every_column(ch_client, table)


@pytest.mark.parametrize("sql", [
    "SELECT number AS a, toString(number) AS a FROM numbers(3)",  # repeated names
    "SELECT number, 'é' AS s FROM numbers(3) WHERE number > 5",  # a header, no rows
    "SELECT if(number = 1, NULL, number) AS n, if(number = 0, NULL, '中文') AS s FROM numbers(3)",
    "SELECT toUInt64(18446744073709551615 - number) AS big FROM numbers(2)",  # above int64
    "SELECT number AS n, toString(number % 7) AS s FROM numbers(5000) SETTINGS max_block_size = 700",
    "SELECT nan + number AS f, inf * (number - 1) AS g FROM numbers(2)",  # nothing finite, then inf and -inf
    "SELECT if(number = 1, unhex('ff'), 'x') AS s, toFloat32(number / 3) AS f FROM numbers(3)",  # no UTF-8
])
def test_odd_answers_agree(ch_client, sql):
    check_frames(ch_client, sql, [], True)


@pytest.mark.filterwarnings("ignore:The .future.infer_string. option is deprecated")
@pytest.mark.parametrize("option, value", [("future.infer_string", False), ("mode.string_storage", "python")])
def test_texts_follow_the_string_options(ch_client, option, value):
    sql = "SELECT toString(number) AS s, if(number = 2, 'é', 'SHFE') AS e, number AS n FROM numbers(4)"
    with pd.option_context(option, value):
        check_frames(ch_client, sql, [], True)
        assert P._query_frame(ch_client, sql).dtypes["s"] == pd.DataFrame({"s": ["x"]}).dtypes["s"]


def test_no_native_block_at_all(ch_client, table):
    """A real server answers a filter that kept no rows with no block: no names either."""
    empty = Answering(ch_client, b"")
    sql = f"SELECT * FROM {table} WHERE 0"
    pd.testing.assert_frame_equal(P._query_frame(empty, sql), pd.DataFrame([]))
    pd.testing.assert_frame_equal(P._values_frame(empty, sql), pd.DataFrame([], columns=[]))
