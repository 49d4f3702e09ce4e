"""Native blocks as a server sends them to a client that names its protocol version.

The engine writes Native as for a client of revision 0: no block info, and DateTime types
without their zone. From revision 51903 a server starts every block with its block info, and
from 54337 it keeps the zone in the type name; this walks the engine's blocks to add both.
The engine's stream hands over one block per chunk, so only a block that may name a DateTime
type is walked (to reach its type names), and a block of a type the walker cannot follow
still gets its block info.
"""
from __future__ import annotations

import struct
from typing import Callable, Iterable, Sequence

BLOCK_INFO_REVISION = 51903
ZONE_IN_TYPE_REVISION = 54337
# field 1: is_overflows = false; field 2: bucket_num = -1; field 0: end
BLOCK_INFO = b"\x01\x00\x02\xff\xff\xff\xff\x00"

_FIXED = {
    **dict.fromkeys(("UInt8", "Int8", "Bool", "Enum8", "Nothing"), 1),
    **dict.fromkeys(("UInt16", "Int16", "Date", "Enum16", "BFloat16"), 2),
    **dict.fromkeys(("UInt32", "Int32", "Float32", "Date32", "DateTime", "IPv4", "Decimal32", "Time"), 4),
    **dict.fromkeys(("UInt64", "Int64", "Float64", "DateTime64", "Decimal64", "Time64"), 8),
    **dict.fromkeys(("UInt128", "Int128", "UUID", "IPv6", "Decimal128"), 16),
    **dict.fromkeys(("UInt256", "Int256", "Decimal256"), 32),
}
_GEO = {
    "Point": "Tuple(Float64, Float64)", "Ring": "Array(Point)", "LineString": "Array(Point)",
    "Polygon": "Array(Ring)", "MultiLineString": "Array(LineString)", "MultiPolygon": "Array(Polygon)",
}
# LowCardinality's index width by the low byte of its flags; the flag of keys sent with the index
_LC_INDEX_SIZES = (1, 2, 4, 8)
_LC_HAS_ADDITIONAL_KEYS = 1 << 9


class NativeError(ValueError):
    """A stream or a type this walker cannot follow."""


class _Reader:
    def __init__(self, data: bytes):
        self.data = data
        self.pos = 0

    def take(self, n: int) -> None:
        if n < 0 or self.pos + n > len(self.data):
            raise NativeError("Native stream ends inside a column")
        self.pos += n

    def varint(self) -> int:
        shift = result = 0
        while True:
            if self.pos >= len(self.data) or shift > 63:
                raise NativeError("bad varint in Native stream")
            byte = self.data[self.pos]
            self.pos += 1
            result |= (byte & 0x7F) << shift
            if byte < 0x80:
                return result
            shift += 7

    def string(self) -> str:
        n = self.varint()
        start = self.pos
        self.take(n)
        return self.data[start:self.pos].decode("utf-8", "surrogateescape")

    def uint64(self) -> int:
        start = self.pos
        self.take(8)
        return struct.unpack_from("<Q", self.data, start)[0]


def varint(n: int) -> bytes:
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def _string(s: str) -> bytes:
    raw = s.encode("utf-8", "surrogateescape")
    return varint(len(raw)) + raw


def split_type(type_name: str) -> tuple[str, list[str]]:
    """"Map(String, Array(UInt8))" -> ("Map", ["String", "Array(UInt8)"])."""
    open_at = type_name.find("(")
    if open_at < 0:
        return type_name.strip(), []
    if not type_name.endswith(")"):
        raise NativeError(f"unreadable type {type_name!r}")
    args, depth, quote, start = [], 0, "", open_at + 1
    inner_end = len(type_name) - 1
    i = start
    while i < inner_end:
        c = type_name[i]
        if quote:
            if c == "\\":
                i += 1
            elif c == quote:
                quote = ""
        elif c in "'`\"":
            quote = c
        elif c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
        elif c == "," and depth == 0:
            args.append(type_name[start:i].strip())
            start = i + 1
        i += 1
    args.append(type_name[start:inner_end].strip())
    return type_name[:open_at].strip(), args


def _element_type(element: str) -> str:
    """A Tuple element's type, with its name (plain or `quoted`) left off."""
    if element.startswith("`"):
        end = element.index("`", 1)
        return element[end + 1:].strip()
    head, _, rest = element.partition(" ")
    return rest.strip() if rest and "(" not in head else element


def _decimal_size(args: Sequence[str]) -> int:
    precision = int(args[0])
    return 4 if precision <= 9 else 8 if precision <= 18 else 16 if precision <= 38 else 32


def skip_column(r: _Reader, type_name: str, rows: int) -> None:
    """Moves past `rows` values of type_name in Native layout."""
    base, args = split_type(type_name)
    if base in _GEO:
        skip_column(r, _GEO[base], rows)
    elif base in ("Enum8", "Enum16", "DateTime", "DateTime64", "Decimal32", "Decimal64", "Decimal128",
                  "Decimal256", "Time64") or (base in _FIXED and not args):
        r.take(_FIXED[base] * rows)
    elif base == "Decimal":
        r.take(_decimal_size(args) * rows)
    elif base == "FixedString":
        r.take(int(args[0]) * rows)
    elif base == "String" or base == "JSONString":
        for _ in range(rows):
            r.take(r.varint())
    elif base == "Nullable":
        r.take(rows)
        skip_column(r, args[0], rows)
    elif base == "Array" or base == "Map":
        total = 0
        for _ in range(rows):
            total = r.uint64()
        skip_column(r, args[0] if base == "Array" else f"Tuple({', '.join(args)})", total)
    elif base == "Tuple":
        for element in args:
            skip_column(r, _element_type(element), rows)
    elif base == "SimpleAggregateFunction":
        skip_column(r, args[-1], rows)
    elif base == "LowCardinality":
        _skip_low_cardinality(r, args[0], rows)
    else:
        raise NativeError(f"type {type_name} is not walked")


def _skip_low_cardinality(r: _Reader, inner: str, rows: int) -> None:
    r.uint64()  # keys serialization version
    if rows == 0:
        return
    flags = r.uint64()
    index_kind = flags & 0xFF
    if index_kind >= len(_LC_INDEX_SIZES) or not flags & _LC_HAS_ADDITIONAL_KEYS:
        raise NativeError("LowCardinality without its keys is not walked")
    base, args = split_type(inner)
    keys = r.uint64()
    skip_column(r, args[0] if base == "Nullable" else inner, keys)  # keys are never Nullable
    index_rows = r.uint64()
    r.take(_LC_INDEX_SIZES[index_kind] * index_rows)


def for_revision(blocks: Iterable[bytes], revision: int, true_types: Callable[[], Sequence[str] | None]) -> bytes:
    """The engine's Native blocks (one per chunk of its stream) as a server sends them to a client of `revision`.

    true_types gives the result's type names with their zones (asked only when a DateTime
    type is in the stream); None leaves the names as the engine wrote them. A block holding a
    type this walker does not follow gets its block info and keeps its type names.
    """
    if revision < BLOCK_INFO_REVISION:
        return b"".join(blocks)
    out = bytearray()
    names: list[Sequence[str] | None] = []  # asked once, on the first DateTime seen

    def zoned(i: int, columns: int) -> Sequence[str] | None:
        if not names:
            names.append(true_types())
        found = names[0]
        return found if found is not None and len(found) == columns else None

    for chunk in blocks:
        if revision < ZONE_IN_TYPE_REVISION or b"DateTime" not in chunk:
            out += BLOCK_INFO + chunk  # no type name to change: the chunk's one block goes as it is
            continue
        try:
            out += _with_block_info(chunk, revision, zoned)
        except NativeError:
            out += BLOCK_INFO + chunk
    return bytes(out)


def _with_block_info(data: bytes, revision: int, zoned: Callable[[int, int], Sequence[str] | None]) -> bytes:
    r = _Reader(data)
    out = bytearray()
    while r.pos < len(data):
        columns, rows = r.varint(), r.varint()
        out += BLOCK_INFO + varint(columns) + varint(rows)
        for i in range(columns):
            name, type_name = r.string(), r.string()
            if revision >= ZONE_IN_TYPE_REVISION and "DateTime" in type_name:
                found = zoned(i, columns)
                if found is not None:
                    type_name = found[i]
            start = r.pos
            skip_column(r, type_name, rows)
            out += _string(name) + _string(type_name) + data[start:r.pos]
    return bytes(out)
