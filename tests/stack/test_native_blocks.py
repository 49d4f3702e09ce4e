"""Native blocks shaped for a client's protocol version (no server needed)."""
from __future__ import annotations

import pytest

from services.clickhouse_http import native


def s(text: str) -> bytes:
    raw = text.encode()
    return bytes([len(raw)]) + raw


def block(columns: list[tuple[str, str, bytes]], rows: int) -> bytes:
    return bytes([len(columns), rows]) + b"".join(s(n) + s(t) + data for n, t, data in columns)


INFO = native.BLOCK_INFO
NUMBER = ("n", "UInt64", (7).to_bytes(8, "little"))
WHEN = ("d", "DateTime", (1_700_000_000).to_bytes(4, "little"))
ZONED = ("d", "DateTime('Asia/Shanghai')", WHEN[2])
TEXTS = ("t", "Nullable(String)", b"\x00" + s("ab"))
NESTED = ("a", "Array(Tuple(k String, v Nullable(Decimal(20, 2))))",
          (2).to_bytes(8, "little") + s("x") + s("y") + b"\x00\x01" + bytes(32))
ODD = ("j", "Dynamic", b"\x01\x02\x03")


SHANGHAI = ["DateTime('Asia/Shanghai')"]


@pytest.mark.parametrize("chunks, revision, described, expected", [
    # before block info existed: the engine's bytes as they are
    ([block([NUMBER], 1)], 0, None, block([NUMBER], 1)),
    # a chunk is one block of the engine's stream: its block info goes in front
    ([block([NUMBER, TEXTS], 1), block([NUMBER, TEXTS], 1)], 54405, None,
     INFO + block([NUMBER, TEXTS], 1) + INFO + block([NUMBER, TEXTS], 1)),
    # zones from the revision that carries them on: the columns before them are walked, not guessed
    ([block([NESTED, TEXTS, WHEN], 1)], 54405, ["a", "t"] + SHANGHAI,
     INFO + block([NESTED, TEXTS, ZONED], 1)),
    ([block([WHEN, NUMBER], 1) + block([WHEN, NUMBER], 1)], 54405, SHANGHAI + ["UInt64"],
     INFO + block([ZONED, NUMBER], 1) + INFO + block([ZONED, NUMBER], 1)),
    ([block([WHEN], 1)], 54000, SHANGHAI, INFO + block([WHEN], 1)),
    # names that do not fit the columns are not used
    ([block([WHEN, NUMBER], 1)], 54405, SHANGHAI, INFO + block([WHEN, NUMBER], 1)),
    # a type the walker does not follow: the chunk goes with its block info, names unchanged
    ([block([ODD, WHEN], 1)], 54405, ["j"] + SHANGHAI, INFO + block([ODD, WHEN], 1)),
    ([], 54405, None, b""),
])
def test_blocks_for_the_clients_revision(chunks, revision, described, expected):
    asked = []

    def true_types():  # the result's columns as the engine describes them
        asked.append(1)
        return described

    assert native.for_revision(chunks, revision, true_types) == expected
    assert len(asked) <= 1  # the names are asked for once per answer


@pytest.mark.parametrize("type_name, base, args", [
    ("UInt8", "UInt8", []),
    ("Map(String, Array(Nullable(UInt8)))", "Map", ["String", "Array(Nullable(UInt8))"]),
    ("Enum8('a,b' = 1, 'c)' = 2)", "Enum8", ["'a,b' = 1", "'c)' = 2"]),
    ("DateTime64(3, 'Europe/Paris')", "DateTime64", ["3", "'Europe/Paris'"]),
])
def test_type_names_split_at_their_top_level(type_name, base, args):
    assert native.split_type(type_name) == (base, args)


@pytest.mark.parametrize("data", [block([NUMBER], 1)[:-3], block([TEXTS], 1)[:-2], b"\x01\x01\x05", b"\xff" * 12])
def test_cut_or_garbled_blocks_are_refused_by_the_walker(data):
    with pytest.raises(native.NativeError):
        native._with_block_info(data, 54405, lambda i, n: None)
