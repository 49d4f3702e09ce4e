"""Hostile values for the public entry points, and the check that a statement's structure
outside its literals is the one the library meant to send."""
from __future__ import annotations

import math

import numpy as np
from hypothesis import strategies as st

from services.clickhouse_http import sqltext

NASTY_TEXT = st.one_of(
    st.text(max_size=40),
    st.sampled_from(["'", "\\", "\\'", "' or '1'='1", "x\x00y", "螺纹钢", "';DROP TABLE x;--", "{account}",
                     "20240105'", "2024010\\", "\ud7ff", "-- c\n", "/*", "8" * 10_000]),
    st.text(alphabet="'\\\"\x00;-/*{}8", max_size=20),
)
NUMBERS = st.one_of(
    st.integers(), st.floats(allow_nan=True, allow_infinity=True), st.booleans(),
    st.sampled_from([np.int64(8), np.float64(math.nan), np.float32(1.5), np.bool_(True), np.uint8(255)]),
)
ANY_VALUE = st.one_of(NASTY_TEXT, NUMBERS, st.none(), st.binary(max_size=12),
                      st.lists(st.integers(), max_size=3), st.just(object()))


def structure(statement: str) -> list[tuple[str, str]]:
    """The statement's tokens with every quoted literal reduced to one placeholder."""
    return [(t.kind, "'?'" if t.kind == "quoted" else t.text) for t in sqltext.tokens(statement)]
