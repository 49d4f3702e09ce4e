"""Hostile values for the public entry points, and the check that a statement's structure
outside its literals is the one the library meant to send, judged by the engine's own parser."""
from __future__ import annotations

import atexit
import json
import math
import os
import re
import subprocess
import sys
from pathlib import Path

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


_VALUES = re.compile(r"\bVALUES\b", re.IGNORECASE)
_judge = None


def _parsed(sql: str) -> str:
    """ClickHouse's parse of one statement, printed back with every literal as '?'; raises on
    bad syntax and on more than one statement. Nothing is run."""
    global _judge
    if _judge is None:
        env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS")}
        _judge = subprocess.Popen([sys.executable, str(Path(__file__).with_name("engine_judge.py"))], env=env,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, encoding="utf-8")
        atexit.register(_stop_judge)
    _judge.stdin.write(json.dumps(sql) + "\n")
    _judge.stdin.flush()
    reply = json.loads(_judge.stdout.readline())
    if "error" in reply:
        raise AssertionError(f"the engine refuses {sql!r}: {reply['error']}")
    return reply["parsed"]


def _stop_judge():
    _judge.stdin.close()
    _judge.wait()


def structure(statement: str) -> str:
    """The statement's structure outside its literals. The engine parses inline INSERT data
    only when it loads it, so the rows after VALUES are judged as one list of expressions."""
    values = _VALUES.search(statement) if statement.lstrip()[:6].upper() == "INSERT" else None
    if values is None:
        return _parsed(statement)
    return _parsed(statement[:values.end()]) + " | " + _parsed("SELECT " + statement[values.end():])
