"""INSERT texts of the statement core, checked by what the real store reads back."""
import numpy as np
import pytest

from pelmora.Pelmora import _insert_text
from tests.fuzz.strategies import structure

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
    # one statement: the rows land together
    ch_client.command(_insert_text(f"INSERT into {probe_table} (", ["t", "i", "f", "b"], rows, ");"))
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
    assert _insert_text("(", ["c"], [[value]], ")") == f"(c) values ({text})"


def test_statement_pieces_are_joined_as_given():
    got = _insert_text(" INSERT into factors.t_account_info (", ["a", "b"], [["x", 1]], "); ")
    assert got == " INSERT into factors.t_account_info (a, b) values ('x', 1); "
    got = _insert_text("INSERT into t (", ["a", "b"], [["x", 1], ("y'", 2.5)], ");")
    assert got == "INSERT into t (a, b) values ('x', 1), ('y\\'', 2.5);"


def test_every_template_fills_its_markers():
    """Each registered template takes its markers as the library fills them: texts inside
    quotes, numbers as literals; none is left unfilled."""
    import re

    from pelmora.Pelmora import _statement, _statement_names
    for name in _statement_names():
        text = _statement(name)  # markers without a value stay as they are
        values = {m: 2.5 if sharp else "v'" for sharp, m in re.findall(r"\{(#?)(\w+)\}", text)}
        filled = _statement(name, **values)
        assert not re.search(r"\{#?\w+\}", filled), name
        assert "'v\\''" in filled or not values or all(v == 2.5 for v in values.values()), name
        if not text.rstrip().endswith("("):  # an opening is only a piece of a statement
            structure(filled)  # the engine parses it as one statement


@pytest.mark.parametrize("template, values, error", [
    ("x = {a}", {"a": "1 or 1=1"}, "outside quotes"),
    ("x = '{a}", {"a": "v"}, "outside quotes"),
    ("x = '{a}'", {"a": 3}, "takes a text"),
    ("x = {#a}", {"a": "3"}, "takes a number"),
])
def test_fill_refuses_a_marker_of_the_wrong_kind(template, values, error):
    from pelmora.Pelmora import _fill
    with pytest.raises(RuntimeError, match=error):
        _fill(template, **values)


@pytest.mark.parametrize("value, text", [(2, "2"), (1.5, "1.5"), (np.float64(24.0), "24.0")])
def test_number_marker_takes_the_literal_form(value, text):
    from pelmora.Pelmora import _fill
    assert _fill("h = {#h}, m = '{m}'", h=value, m="o'k") == f"h = {text}, m = 'o\\'k'"
    with pytest.raises(TypeError):
        _fill("h = {#h}", h=[1])
