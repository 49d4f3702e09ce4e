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


@pytest.mark.parametrize("chunks, revision, expected", [
    # before block info existed: the engine's bytes as they are
    ([block([NUMBER], 1)], 0, block([NUMBER], 1)),
    # every block of a chunk gets its block info; the columns' bytes are walked, not guessed
    ([block([NUMBER, TEXTS], 1) + block([NUMBER, TEXTS], 1)], 54405,
     INFO + block([NUMBER, TEXTS], 1) + INFO + block([NUMBER, TEXTS], 1)),
    ([block([NESTED, NUMBER], 1)], 54405, INFO + block([NESTED, NUMBER], 1)),
    # zones from the revision that carries them on
    ([block([WHEN, NUMBER], 1), block([WHEN, NUMBER], 1)], 54405,
     INFO + block([ZONED, NUMBER], 1) + INFO + block([ZONED, NUMBER], 1)),
    ([block([WHEN], 1)], 54000, INFO + block([WHEN], 1)),
    # a type the walker does not follow: the chunk is one block, sent with its block info
    ([block([ODD, WHEN], 1)], 54405, INFO + block([ODD, WHEN], 1)),
    ([], 54405, b""),
])
def test_blocks_for_the_clients_revision(chunks, revision, expected):
    asked = []

    def true_types():  # the result's columns as the engine describes them
        asked.append(1)
        return ["DateTime('Asia/Shanghai')", "UInt64"]

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
