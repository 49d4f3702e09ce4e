"""Bad results come out as Python exceptions, hostile values cannot crash the
conversion, and no reference is leaked."""
import datetime as dt
import decimal
import gc
import subprocess
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
    # Texts built at run time: literals are shared with the interpreter (3.11 freezes some
    # at a refcount of 10**9), so their counts move with unrelated code. None is counted
    # out for the same reason.
    values = [1234.5678, 0.1 + 0.2, "".join(["te", "xt"]), "".join(["中", "文"]), 12345, 2**70,
              dt.date(2024, 1, 5), dt.datetime(2024, 1, 5, 9, 30), decimal.Decimal("1.5"), [1, "x"], None]
    names = [f"c{i}" for i in range(len(values))]
    rows = [tuple(values)] * 3
    mixed = [tuple(values), tuple("x" for _ in values)]  # every column an object column
    failing = [tuple(values), tuple(values[:-1]) + (StrFails(),)]

    def counts():
        gc.collect()
        return [sys.getrefcount(v) for v in values[:-1] + names]

    before = counts()
    for _ in range(20):
        native_records(rows, names, ["c6", "c7"])
        native_records(mixed, names)
        with pytest.raises(RuntimeError):
            native_records(failing, names, ["c10"])
    assert counts() == before


# Code that edits what is being walked: names shrunk by an int subclass's str(), a row
# list and the result set emptied by a text cell's str(). Run in a child process, so a
# crash fails the test instead of ending the session.
SHRINKING = {
    "names": """
names = ["a", None, "b"]
class I(int):
    def __str__(self):
        names.clear()
        return "x"
names[1] = I(1)
print(M._history_records([(1, 2, 3)], names))
""",
    "row": """
rows = []
class Clears:
    def __str__(self):
        rows[0].clear()
        rows.clear()
        return "cleared"
rows.extend([[Clears(), 1, 2], [4, 5, 6]])
print(M._history_records(rows, ["a", "b", "c"], ["a"]))
""",
}
SHRINKING_OUT = {
    "names": "[{'a': 1, 'x': 2, 'b': 3}]",
    "row": "[{'a': 'cleared', 'b': 1, 'c': 2}, {'a': '4', 'b': 5, 'c': 6}]",
}


@pytest.mark.parametrize("case", sorted(SHRINKING))
def test_containers_edited_by_value_code(case):
    done = subprocess.run([sys.executable, "-c", "from pelmora import Pelmora as M\n" + SHRINKING[case]],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == SHRINKING_OUT[case]
