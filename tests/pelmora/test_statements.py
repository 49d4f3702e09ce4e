"""INSERT texts of the statement core, checked by what the real store reads back."""
import numpy as np
import pytest

from pelmora.Pelmora import _row_insert_text

TEXTS = ["plain", "o'brien", "back\\slash", "\\'", "螺纹钢 rb2505", "tab\tand\nline", "", "' or '1'='1"]


@pytest.fixture
def probe_table(ch_client):
    ch_client.command("CREATE TABLE IF NOT EXISTS other.insert_probe "
                      "(t String, i Int64, f Float64, b Bool) ENGINE = MergeTree ORDER BY tuple()")
    ch_client.command("TRUNCATE TABLE other.insert_probe")
    yield "other.insert_probe"
    ch_client.command("DROP TABLE IF EXISTS other.insert_probe")


def test_row_values_reach_the_store_unchanged(ch_client, probe_table):
    rows = []
    for n, text in enumerate(TEXTS):
        ints = [n, np.int64(-n), np.int32(n), 2**62 + n]
        floats = [n + 0.5, np.float64(0.1) * n, 1e-7 * (n + 1), np.float32(0.25)]
        rows.append((text, ints[n % 4], floats[n % 4], [True, np.bool_(False)][n % 2]))
    for row in rows:
        ch_client.command(_row_insert_text(f"INSERT into {probe_table} (", ["t", "i", "f", "b"], row, ");"))
    back = ch_client.query(f"select t, i, f, b from {probe_table}").result_set
    expected = [(t, int(i), float(f), bool(b)) for t, i, f, b in rows]
    assert sorted(back) == sorted(expected)


@pytest.mark.parametrize("value, text", [
    ("x", "'x'"), ("it's", "'it\\'s'"), ("a\\b", "'a\\\\b'"),
    (3, "3"), (np.int64(3), "3"), (np.uint8(7), "7"), (-12, "-12"),
    (1.5, "1.5"), (2.0, "2.0"), (np.float64(2.0), "2.0"), (1e-07, "1e-07"), (float("nan"), "nan"),
    (True, "True"), (np.bool_(False), "False"), (None, "None"),
])
def test_python_literal_forms(value, text):
    assert _row_insert_text("(", ["c"], [value], ")") == f"(c) values ({text})"


def test_statement_pieces_are_joined_as_given():
    got = _row_insert_text(" INSERT into factors.t_account_info (", ["a", "b"], ["x", 1], "); ")
    assert got == " INSERT into factors.t_account_info (a, b) values ('x', 1); "
