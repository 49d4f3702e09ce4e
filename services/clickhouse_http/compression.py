"""HTTP body codings the server understands: lz4 (frame), zstd, gzip, deflate."""
from __future__ import annotations

import gzip
import zlib
from typing import Callable

from .errors import CANNOT_DECOMPRESS, ClickHouseError


def _zstd_codec() -> tuple[Callable[[bytes], bytes], Callable[[bytes], bytes]] | None:
    try:
        from compression import zstd  # type: ignore[import-not-found]  # Python 3.14+
        return zstd.compress, zstd.decompress
    except ImportError:
        pass
    try:
        from backports import zstd  # type: ignore[import-not-found]
        return zstd.compress, zstd.decompress
    except ImportError:
        pass
    try:
        import zstandard
    except ImportError:
        return None

    def decompress(data: bytes) -> bytes:
        # Frames written in streaming mode carry no content size, so read them as a stream.
        return zstandard.ZstdDecompressor().decompressobj().decompress(data)

    return (lambda data: zstandard.ZstdCompressor().compress(data)), decompress


def _lz4_codec() -> tuple[Callable[[bytes], bytes], Callable[[bytes], bytes]] | None:
    try:
        import lz4.frame
    except ImportError:
        return None
    return lz4.frame.compress, lz4.frame.decompress


def _deflate_decompress(data: bytes) -> bytes:
    try:
        return zlib.decompress(data)
    except zlib.error:
        return zlib.decompress(data, -zlib.MAX_WBITS)  # raw deflate without zlib header


CODECS: dict[str, tuple[Callable[[bytes], bytes], Callable[[bytes], bytes]]] = {
    "gzip": (gzip.compress, gzip.decompress),
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


def decode(body: bytes, encoding: str | None) -> bytes:
    if not encoding or encoding.lower() in ("identity", "none"):
        return body
    name = encoding.strip().lower()
    codec = CODECS.get(name)
    if codec is None:
        raise ClickHouseError.of(CANNOT_DECOMPRESS, f"Unknown HTTP body encoding: {encoding}")
    try:
        return codec[1](body)
    except Exception as ex:  # each codec library has its own error types
        raise ClickHouseError.of(CANNOT_DECOMPRESS, f"Cannot decompress request body ({name}): {ex}") from ex
