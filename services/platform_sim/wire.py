"""Line protocol spoken with the trader library (see src/native/trader/wire_format.h).

One message per LF-terminated line, fields separated by TAB, text fields as
raw bytes (GBK for the platform's texts) with backslash escapes.
"""

_ESCAPES = {b"\\": b"\\\\", b"\t": b"\\t", b"\n": b"\\n", b"\r": b"\\r", b"\0": b"\\0"}
_UNESCAPES = {code[1:2]: raw for raw, code in _ESCAPES.items()}


def escape(raw: bytes) -> bytes:
    out = bytearray()
    for byte in raw:
        ch = bytes((byte,))
        out += _ESCAPES.get(ch, ch)
    return bytes(out)


def unescape(field: bytes) -> bytes:
    out = bytearray()
    i = 0
    while i < len(field):
        ch = field[i:i + 1]
        if ch == b"\\":
            code = field[i + 1:i + 2]
            if code not in _UNESCAPES:
                raise ValueError(f"bad escape in field {field!r}")
            out += _UNESCAPES[code]
            i += 2
        else:
            out += ch
            i += 1
    return bytes(out)


def line(tag: str, *fields: bytes) -> bytes:
    return b"\t".join((tag.encode("ascii"), *fields)) + b"\n"


def split(raw_line: bytes) -> list[bytes]:
    """Fields of one received line (without its LF), unescaped."""
    return [unescape(f) for f in raw_line.rstrip(b"\r").split(b"\t")]
