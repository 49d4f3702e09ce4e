"""Hostile values for the public entry points, and the check that a statement's structure
outside its literals is the one the library meant to send, judged by the engine's own parser."""
from __future__ import annotations

import math
import re

import numpy as np
from hypothesis import strategies as st


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


_engine = None
_VALUES = re.compile(r"\bVALUES\b", re.IGNORECASE)


def _parsed(sql: str) -> str:
    """ClickHouse's parse of one statement, printed back with every literal as '?'; the engine
    raises on bad syntax and on more than one statement. Nothing is run."""
    global _engine
    if _engine is None:
        from chdb import session
        _engine = session.Session()
    hexed = sql.encode("utf-8", "surrogatepass").hex()
    answer = _engine.query(f"SELECT normalizeQuery(formatQuerySingleLine(unhex('{hexed}')))", "TabSeparatedRaw")
    return answer.bytes().decode("utf-8", "replace").rstrip("\n")


def structure(statement: str) -> str:
    """The statement's structure outside its literals. The engine parses inline INSERT data
    only when it loads it, so the rows after VALUES are judged as one list of expressions."""
    values = _VALUES.search(statement) if statement.lstrip()[:6].upper() == "INSERT" else None
    if values is None:
        return _parsed(statement)
    return _parsed(statement[:values.end()]) + " | " + _parsed("SELECT " + statement[values.end():])
