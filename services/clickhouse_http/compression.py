"""HTTP body codings the server understands: lz4 (frame), zstd, gzip, deflate."""
from __future__ import annotations

import gzip
import zlib
from typing import Callable

from .errors import CANNOT_DECOMPRESS, QUERY_IS_TOO_LARGE, ClickHouseError


# A decompressor takes the data and the most bytes it may produce (None: no bound) and returns
# at most that many plus one, so the caller can tell "exactly at the bound" from "past it".
Decompress = Callable[[bytes, "int | None"], bytes]


def _zstd_codec() -> tuple[Callable[[bytes], bytes], Decompress] | None:
    try:
        from compression import zstd  # type: ignore[import-not-found]  # Python 3.14+
        return zstd.compress, lambda data, limit: zstd.ZstdDecompressor().decompress(data, _cap(limit))
    except ImportError:
        pass
    try:
        from backports import zstd  # type: ignore[import-not-found]
        return zstd.compress, lambda data, limit: zstd.ZstdDecompressor().decompress(data, _cap(limit))
    except ImportError:
        pass
    try:
        import zstandard
    except ImportError:
        return None

    def decompress(data: bytes, limit: int | None) -> bytes:
        # Frames written in streaming mode carry no content size, so read them as a stream.
        reader = zstandard.ZstdDecompressor().stream_reader(data)
        out = bytearray()
        while limit is None or len(out) <= limit:
            piece = reader.read(1 << 20 if limit is None else min(1 << 20, limit + 1 - len(out)))
            if not piece:
                break
            out += piece
        return bytes(out)

    return (lambda data: zstandard.ZstdCompressor().compress(data)), decompress


def _lz4_codec() -> tuple[Callable[[bytes], bytes], Decompress] | None:
    try:
        import lz4.frame
    except ImportError:
        return None
    return lz4.frame.compress, lambda data, limit: lz4.frame.LZ4FrameDecompressor().decompress(data, _cap(limit))


def _cap(limit: int | None) -> int:
    return -1 if limit is None else limit + 1


def _zlib_decompress(data: bytes, limit: int | None, wbits: int) -> bytes:
    out = bytearray()
    while data:
        unpacker = zlib.decompressobj(wbits)
        out += unpacker.decompress(data, 0 if limit is None else limit + 1 - len(out))
        if limit is not None and len(out) > limit:
            break
        if not unpacker.eof:
            raise zlib.error("incomplete or truncated stream")
        data = unpacker.unused_data  # gzip allows several members one after the other
    return bytes(out)


def _gzip_decompress(data: bytes, limit: int | None) -> bytes:
    return _zlib_decompress(data, limit, 16 + zlib.MAX_WBITS)


def _deflate_decompress(data: bytes, limit: int | None) -> bytes:
    try:
        return _zlib_decompress(data, limit, zlib.MAX_WBITS)
    except zlib.error:
        return _zlib_decompress(data, limit, -zlib.MAX_WBITS)  # raw deflate without zlib header


CODECS: dict[str, tuple[Callable[[bytes], bytes], Decompress]] = {
    "gzip": (gzip.compress, _gzip_decompress),
    "deflate": (zlib.compress, _deflate_decompress),
}
for _name, _factory in (("lz4", _lz4_codec), ("zstd", _zstd_codec)):
    _codec = _factory()
    if _codec is not None:
        CODECS[_name] = _codec


def choose_encoding(accept_encoding: str | None) -> str | None:
    """The first coding of the client's list that the server offers."""
    if not accept_encoding:
        return None
    for item in accept_encoding.split(","):
        name = item.split(";", 1)[0].strip().lower()
        if name in CODECS:
            return name
    return None


def encode(body: bytes, encoding: str) -> bytes:
    return CODECS[encoding][0](body)


def decode(body: bytes, encoding: str | None, limit: int | None = None) -> bytes:
    """The body decompressed; QUERY_IS_TOO_LARGE once it would pass `limit` bytes."""
    if not encoding or encoding.lower() in ("identity", "none"):
        return body
    name = encoding.strip().lower()
    codec = CODECS.get(name)
    if codec is None:
        raise ClickHouseError.of(CANNOT_DECOMPRESS, f"Unknown HTTP body encoding: {encoding}")
    try:
        out = codec[1](body, limit)
    except Exception as ex:  # each codec library has its own error types
        raise ClickHouseError.of(CANNOT_DECOMPRESS, f"Cannot decompress request body ({name}): {ex}") from ex
    if limit is not None and len(out) > limit:
        raise ClickHouseError.of(
            QUERY_IS_TOO_LARGE, f"Request body is larger than {limit} bytes once decompressed ({name})"
        )
    return out
