"""ClickHouse-style errors: code, symbolic name, message text and HTTP status."""
from __future__ import annotations

import re

# Codes this server raises itself (the engine reports its own codes in its messages).
SYNTAX_ERROR = (62, "SYNTAX_ERROR")
NOT_IMPLEMENTED = (48, "NOT_IMPLEMENTED")
READONLY = (164, "READONLY")
BAD_ARGUMENTS = (36, "BAD_ARGUMENTS")
QUERY_IS_TOO_LARGE = (229, "QUERY_IS_TOO_LARGE")
INTO_OUTFILE_NOT_ALLOWED = (358, "INTO_OUTFILE_NOT_ALLOWED")
ACCESS_DENIED = (497, "ACCESS_DENIED")
AUTHENTICATION_FAILED = (516, "AUTHENTICATION_FAILED")
UNKNOWN_SETTING = (115, "UNKNOWN_SETTING")
CANNOT_DECOMPRESS = (271, "CANNOT_DECOMPRESS")
HTTP_LENGTH_REQUIRED = (381, "HTTP_LENGTH_REQUIRED")
SESSION_NOT_FOUND = (372, "SESSION_NOT_FOUND")
SESSION_IS_LOCKED = (373, "SESSION_IS_LOCKED")
STD_EXCEPTION = (1001, "STD_EXCEPTION")

# HTTP status per error name, as ClickHouse's HTTP handler maps them; others give 500.
_STATUS_BY_NAME = {
    "REQUIRED_PASSWORD": 401,
    **dict.fromkeys(
        ("UNKNOWN_USER", "WRONG_PASSWORD", "AUTHENTICATION_FAILED", "SET_NON_GRANTED_ROLE", "ACCESS_DENIED"), 403
    ),
    **dict.fromkeys(
        (
            "BAD_ARGUMENTS", "CANNOT_COMPILE_REGEXP", "CANNOT_PARSE_TEXT", "CANNOT_PARSE_ESCAPE_SEQUENCE",
            "CANNOT_PARSE_QUOTED_STRING", "CANNOT_PARSE_DATE", "CANNOT_PARSE_DATETIME", "CANNOT_PARSE_NUMBER",
            "CANNOT_PARSE_DOMAIN_VALUE_FROM_STRING", "CANNOT_PARSE_IPV4", "CANNOT_PARSE_IPV6",
            "CANNOT_PARSE_INPUT_ASSERTION_FAILED", "CANNOT_PARSE_UUID", "DUPLICATE_COLUMN", "ILLEGAL_COLUMN",
            "UNKNOWN_ELEMENT_IN_AST", "UNKNOWN_TYPE_OF_AST_NODE", "THERE_IS_NO_COLUMN", "TOO_DEEP_AST",
            "TOO_BIG_AST", "UNEXPECTED_AST_STRUCTURE", "SYNTAX_ERROR", "INCORRECT_DATA", "TYPE_MISMATCH",
            "VALUE_IS_OUT_OF_RANGE_OF_DATA_TYPE",
        ),
        400,
    ),
    **dict.fromkeys(
        (
            "UNKNOWN_TABLE", "UNKNOWN_FUNCTION", "UNKNOWN_IDENTIFIER", "UNKNOWN_TYPE", "UNKNOWN_STORAGE",
            "UNKNOWN_DATABASE", "UNKNOWN_SETTING", "UNKNOWN_DIRECTION_OF_SORTING", "UNKNOWN_AGGREGATE_FUNCTION",
            "UNKNOWN_FORMAT", "UNKNOWN_DATABASE_ENGINE", "UNKNOWN_TYPE_OF_QUERY", "UNKNOWN_ROLE",
        ),
        404,
    ),
    "QUERY_IS_TOO_LARGE": 413,
    "NOT_IMPLEMENTED": 501,
    "SOCKET_TIMEOUT": 503,
    "CANNOT_OPEN_FILE": 503,
    "CANNOT_SCHEDULE_TASK": 503,
    "HTTP_LENGTH_REQUIRED": 411,
    "TIMEOUT_EXCEEDED": 408,
    "UNSUPPORTED_MEDIA_TYPE": 415,
}

_CODE_RE = re.compile(r"Code:\s*(\d+)\.\s*")
_NAME_RE = re.compile(r"\(([A-Z][A-Z0-9_]*)\)\s*$")


class ClickHouseError(Exception):
    """An error answered to the client the way ClickHouse answers it."""

    def __init__(self, code: int, name: str, message: str):
        super().__init__(message)
        self.code = code
        self.name = name
        self.message = message

    @classmethod
    def of(cls, kind: tuple[int, str], message: str) -> "ClickHouseError":
        return cls(kind[0], kind[1], message)

    @classmethod
    def from_engine(cls, text: str) -> "ClickHouseError":
        """Wraps an engine message such as 'Code: 60. DB::Exception: ... (UNKNOWN_TABLE)'."""
        text = text.strip()
        code_match = _CODE_RE.search(text)
        if not code_match:
            return cls.of(STD_EXCEPTION, text or "Unknown error")
        message = text[code_match.end():]
        if message.startswith("DB::Exception: "):
            message = message[len("DB::Exception: "):]
        name_match = _NAME_RE.search(message)
        name = name_match.group(1) if name_match else "UNKNOWN_EXCEPTION"
        if name_match:
            message = message[: name_match.start()].rstrip()
        return cls(int(code_match.group(1)), name, message)

    @property
    def http_status(self) -> int:
        return _STATUS_BY_NAME.get(self.name, 500)

    def body(self, server_version: str) -> str:
        return f"Code: {self.code}. DB::Exception: {self.message} ({self.name}) (version {server_version})\n"
