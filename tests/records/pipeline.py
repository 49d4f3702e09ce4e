"""The pandas pipeline the history reads are defined by, and strict comparison
of its rows with the native ones."""
import json
import struct
import warnings

import pandas as pd
import pytest

from pelmora import Pelmora

# Every to_json argument spelled out, at the installed pandas' defaults.
TO_JSON = dict(
    orient="records",
    date_format="epoch",
    double_precision=10,
    force_ascii=True,
    date_unit="ms",
    default_handler=None,
    lines=False,
    indent=None,
)


# The rows are defined by the output of this pandas series; other versions render some
# values differently, so the comparisons run only against it (requirements-dev.txt pins it).
REFERENCE_PANDAS = "3.1."


def pandas_records(result_set, column_names, text_columns=()):
    if not pd.__version__.startswith(REFERENCE_PANDAS):
        pytest.skip(f"compares with pandas {REFERENCE_PANDAS}x output; pandas {pd.__version__} is installed")
    with warnings.catch_warnings():
        # pandas 3 deprecates the epoch date format the reads rely on (and
        # padding short rows, which the native side refuses).
        warnings.simplefilter("ignore", DeprecationWarning)
        warnings.simplefilter("ignore", FutureWarning)
        df = pd.DataFrame(result_set, columns=column_names)
        for c in text_columns:
            df[c] = df[c].apply(str)
        return json.loads(df.to_json(**TO_JSON))


def native_records(result_set, column_names, text_columns=()):
    return Pelmora._history_records(result_set, column_names, text_columns)


def assert_same(actual, expected, path="rows"):
    """Equal value for value and type for type; floats bit for bit (so -0.0
    differs from 0.0), dict keys in the same order."""
    assert type(actual) is type(expected), (
        f"{path}: {type(actual).__name__} {actual!r} != {type(expected).__name__} {expected!r}")
    if isinstance(expected, dict):
        assert list(actual) == list(expected), f"{path}: keys {list(actual)} != {list(expected)}"
        for key, value in expected.items():
            assert_same(actual[key], value, f"{path}[{key!r}]")
    elif isinstance(expected, list):
        assert len(actual) == len(expected), f"{path}: {len(actual)} items != {len(expected)}"
        for i, (a, e) in enumerate(zip(actual, expected)):
            assert_same(a, e, f"{path}[{i}]")
    elif isinstance(expected, float):
        assert struct.pack("<d", actual) == struct.pack("<d", expected), f"{path}: {actual!r} != {expected!r}"
    else:
        assert actual == expected, f"{path}: {actual!r} != {expected!r}"


def assert_matches_pandas(result_set, column_names, text_columns=()):
    """The native rows equal the pipeline's, or both raise. Returns the
    pipeline's rows (None when it raised)."""
    try:
        expected = pandas_records(result_set, column_names, text_columns)
    except Exception:  # noqa: BLE001 - any failure must be matched by one
        with pytest.raises(Exception):
            native_records(result_set, column_names, text_columns)
        return None
    assert_same(native_records(result_set, column_names, text_columns), expected)
    return expected
