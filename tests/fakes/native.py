"""ClickHouse Native bytes, written the way the server writes them, for the stand-in store and the
decoder's tests. Only the column types those need; the layout is the server's: column and row
counts, then each column's name, type and data, with the block info first for clients that name
protocol revision 51903 or later."""
from __future__ import annotations

import datetime
import struct

from services.clickhouse_http.native import BLOCK_INFO, varint

_EPOCH_DAY = datetime.date(1970, 1, 1)
_FIXED = {"Int8": "b", "Int16": "h", "Int32": "i", "Int64": "q", "UInt8": "B", "UInt16": "H",
          "UInt32": "I", "UInt64": "Q", "Float32": "f", "Float64": "d"}


def text(b: bytes) -> bytes:
    return varint(len(b)) + b


def strings(values) -> bytes:
    return b"".join(text(v) for v in values)


def block(rows: int, *columns, block_info: bool = False) -> bytes:
    """One block: (name, type, data) per column, data already encoded."""
    out = (BLOCK_INFO if block_info else b"") + varint(len(columns)) + varint(rows)
    for name, type_, data in columns:
        out += text(name.encode()) + text(type_.encode()) + data
    return out


def _seconds(value: datetime.datetime) -> int:
    if value.tzinfo is None:
        value = value.replace(tzinfo=datetime.timezone.utc)
    return int(value.timestamp())


def column_data(type_: str, values) -> bytes:
    """The data of one column of this type."""
    if type_.startswith("Nullable("):
        inner = type_[len("Nullable("):-1]
        zero = {"String": "", "Date": _EPOCH_DAY, "Bool": False}.get(inner, 0)
        return (bytes(v is None for v in values)
                + column_data(inner, [zero if v is None else v for v in values]))
    if type_ in _FIXED:
        return struct.pack(f"<{len(values)}{_FIXED[type_]}", *values)
    if type_ == "String":
        return strings(v.encode() if isinstance(v, str) else bytes(v) for v in values)
    if type_ == "Bool":
        return bytes(bool(v) for v in values)
    if type_ == "Date":
        return struct.pack(f"<{len(values)}H", *((v - _EPOCH_DAY).days for v in values))
    if type_.startswith("DateTime"):
        return struct.pack(f"<{len(values)}I", *(_seconds(v) for v in values))
    raise ValueError(f"no Native writer for {type_}")


def type_of(values) -> str:
    """The column type the server would most plausibly give these Python values."""
    present = [v for v in values if v is not None]
    kinds = {type(v) for v in present}
    if kinds <= {bool} and present:
        base = "Bool"
    elif kinds <= {int, bool} and present:
        base = "Int64"
    elif kinds <= {int, float} and present:
        base = "Float64"
    elif kinds == {datetime.datetime}:
        base = "DateTime"
    elif kinds == {datetime.date}:
        base = "Date"
    else:
        base = "String"
    return f"Nullable({base})" if len(present) < len(values) or not present else base


def native_result(columns, rows, types=None, block_info: bool = False) -> bytes:
    """The server's Native answer for these rows: one block, or nothing at all for no rows."""
    if not rows:
        return b""
    values = [[row[i] for row in rows] for i in range(len(columns))]
    types = types or [type_of(v) for v in values]
    return block(len(rows), *((name, t, column_data(t, v)) for name, t, v in zip(columns, types, values)),
                 block_info=block_info)
