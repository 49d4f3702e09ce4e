"""Bad results come out as Python exceptions, hostile values cannot crash the
conversion, and no reference is leaked."""
import datetime as dt
import decimal
import gc
import sys

import pytest

from .pipeline import assert_matches_pandas, native_records


@pytest.mark.parametrize("result_set, column_names, text_columns, error", [
    (5, ["a"], [], TypeError),
    ([5], ["a"], [], TypeError),
    (["ab"], ["a", "b"], [], TypeError),
    ([{"a": 1}], ["a"], [], TypeError),
    ([(1,)], 5, [], TypeError),
    ([(1,)], "a", [], TypeError),
    ([(1,)], [None], [], TypeError),
    ([(1,)], [1.5], [], TypeError),
    # pandas pads a short row with NaN (deprecated there); here it is an error
    ([(1, 2), (3,)], ["a", "b"], [], ValueError),
    ([(1, 2, 3)], ["a", "b"], [], ValueError),
    ([(1, 2)], ["a", "a"], [], ValueError),
    ([(1,)], ["a"], ["day"], KeyError),
], ids=["not_iterable", "row_not_sequence", "row_is_text", "row_is_dict", "names_not_sequence", "names_is_text", "name_none",
        "name_float", "row_too_short", "row_too_long", "duplicate_names", "missing_text_column"])
def test_bad_results_raise(result_set, column_names, text_columns, error):
    with pytest.raises(error):
        native_records(result_set, column_names, text_columns)


def test_missing_text_column_names_it():
    with pytest.raises(KeyError) as caught:
        native_records([(1,)], ["a"], ["trading_day"])
    assert repr(caught.value) == "KeyError('trading_day')"


class StrFails:
    def __str__(self):
        raise RuntimeError("no text")


class DirFails:
    def __dir__(self):
        raise RuntimeError("no attributes")


@pytest.mark.parametrize("value, text_columns", [
    (StrFails(), ["a"]),
    (DirFails(), []),
], ids=["str_raises", "dir_raises"])
def test_failing_value_code_propagates(value, text_columns):
    with pytest.raises(RuntimeError):
        native_records([(1,), (value,)], ["a"], text_columns)


def nested(depth):
    value = []
    for _ in range(depth):
        value = [value]
    return value


@pytest.mark.parametrize("depth", [50, 5000])
def test_nesting_depth(depth):
    assert_matches_pandas([(nested(depth),)], ["a"])


def test_self_containing_value_raises():
    loop = []
    loop.append(loop)
    with pytest.raises(Exception):
        native_records([(loop,)], ["a"])


def test_result_set_emptied_by_a_value():
    rows = []

    class Clears:
        def __str__(self):
            rows.clear()
            return "cleared"

    rows.extend([(Clears(), 1.5), ("x", 2.5), ("y", 3.5)])
    out = native_records(rows, ["day", "price"], ["day"])
    assert out == [{"day": "cleared", "price": 1.5}, {"day": "x", "price": 2.5}, {"day": "y", "price": 3.5}]


def test_no_reference_leaks():
    values = [1234.5678, 0.1 + 0.2, "text", "中文", 12345, 2**70, dt.date(2024, 1, 5),
              dt.datetime(2024, 1, 5, 9, 30), decimal.Decimal("1.5"), [1, "x"], None]
    names = [f"c{i}" for i in range(len(values))]
    rows = [tuple(values)] * 3
    mixed = [tuple(values), tuple("x" for _ in values)]  # every column an object column
    failing = [tuple(values), tuple(values[:-1]) + (StrFails(),)]

    def counts():
        gc.collect()
        return [sys.getrefcount(v) for v in values + names]

    before = counts()
    for _ in range(20):
        native_records(rows, names, ["c6", "c7"])
        native_records(mixed, names)
        with pytest.raises(RuntimeError):
            native_records(failing, names, ["c10"])
    assert counts() == before
