"""The ClickHouse engine (chdb) behind the HTTP front: one connection, one request at a time.

Per-request settings are applied with SET on the shared connection and taken back on the
next request that does not ask for them, so every request sees exactly the store's baseline
plus what it (or its session) asked for.
"""
from __future__ import annotations

import collections
import itertools
import json
import os
import re
import tempfile
import threading
from dataclasses import dataclass, field
from pathlib import Path
from typing import Mapping

import chdb
from clickhouse_connect.driver.binding import format_str as sql_string

from . import guard
from .errors import BAD_ARGUMENTS, SYNTAX_ERROR, UNKNOWN_SETTING, ClickHouseError
from .sqltext import RESULT_KINDS, LexError, MultiStatementError, Statement, parse_request, tokens

# Statements are answered only once their mutations have been applied to every part.
BASELINE_SETTINGS = {"mutations_sync": "2"}

# Formats whose data is binary: inline INSERT data in them is loaded through a file.
_BINARY_FORMATS = frozenset(
    f.lower()
    for f in (
        "Native", "RowBinary", "RowBinaryWithNames", "RowBinaryWithNamesAndTypes", "RowBinaryWithDefaults",
        "Parquet", "Arrow", "ArrowStream", "ORC", "Avro", "MsgPack", "Protobuf", "CapnProto", "BSONEachRow",
    )
)
_MAX_SESSIONS = 256
_SETTING_NAME = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")


@dataclass
class ExecRequest:
    text: str  # the full request text (query, then inline data if any); binary data kept as surrogates
    user: str
    readonly: bool = False
    database: str | None = None
    default_format: str = "TabSeparated"
    settings: Mapping[str, str] = field(default_factory=dict)  # raw setting values
    params: Mapping[str, str] = field(default_factory=dict)  # query parameters {name:Type}
    session_id: str | None = None
    readonly_hint: str = ""  # appended to the read-only refusal (why the request is read-only)


@dataclass
class ExecResult:
    body: bytes
    output_format: str | None  # None for statements without a result set
    summary: dict[str, str]


class _Session:
    def __init__(self) -> None:
        self.settings: dict[str, str] = {}  # name -> SQL literal
        self.database: str | None = None
        self.readonly = False


def _native_varint(n: int) -> bytes:
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def _native_string(s: str) -> bytes:
    raw = s.encode("utf-8")
    return _native_varint(len(raw)) + raw


def native_header_block(columns: list[tuple[str, str]]) -> bytes:
    """A Native block of zero rows: just column names and types."""
    out = bytearray(_native_varint(len(columns)) + _native_varint(0))
    for name, type_name in columns:
        out += _native_string(name) + _native_string(type_name)
    return bytes(out)


class Engine:
    def __init__(self, data_dir: str | os.PathLike[str]):
        self.data_dir = Path(data_dir)
        self.data_dir.mkdir(parents=True, exist_ok=True)
        self._tmp_dir = self.data_dir / "tmp_inserts"
        self._tmp_dir.mkdir(exist_ok=True)
        self._lock = threading.Lock()
        self._conn = chdb.connect(str(self.data_dir / "db"))
        self._applied: dict[str, str] = {}  # settings now set on the connection, name -> literal
        self._database = "default"
        self._sessions: collections.OrderedDict[str, _Session] = collections.OrderedDict()
        self._sync_settings({k: sql_string(v) for k, v in BASELINE_SETTINGS.items()})
        version, tz = self._raw("SELECT version(), timezone()", "TabSeparated").decode().strip().split("\t")
        self.version = version
        self.timezone = tz

    def close(self) -> None:
        with self._lock:
            self._conn.close()

    # -- connection state -------------------------------------------------------------

    def _run(self, sql: str, fmt: str = "TabSeparated", params: Mapping[str, str] | None = None):
        try:
            sql.encode("utf-8")
        except UnicodeEncodeError as ex:  # the engine takes only UTF-8 statement texts
            raise ClickHouseError.of(
                BAD_ARGUMENTS, f"Cannot parse query: bytes that are not UTF-8 at position {ex.start + 1}"
            ) from None
        try:
            return self._conn.query(sql, fmt, params=dict(params) if params else None)
        except Exception as ex:  # chdb raises ChdbError or RuntimeError with ClickHouse's text
            raise ClickHouseError.from_engine(str(ex)) from None

    def _raw(self, sql: str, fmt: str = "TabSeparated", params: Mapping[str, str] | None = None) -> bytes:
        return self._run(sql, fmt, params).bytes() or b""

    def _sync_settings(self, wanted: Mapping[str, str]) -> None:
        """Makes the connection's changed settings exactly `wanted` (name -> SQL literal)."""
        for name in [n for n in self._applied if n not in wanted]:
            self._raw(f"SET {name} = DEFAULT")
            del self._applied[name]
        for name, literal in wanted.items():
            if self._applied.get(name) != literal:
                self._applied.pop(name, None)
                self._raw(f"SET {name} = {literal}")
                self._applied[name] = literal

    def _use_database(self, database: str) -> None:
        if database != self._database:
            self._raw(f"USE `{database.replace('`', '``')}`")
            self._database = database

    def _session(self, session_id: str | None) -> _Session | None:
        if not session_id:
            return None
        session = self._sessions.get(session_id)
        if session is None:
            session = self._sessions[session_id] = _Session()
            while len(self._sessions) > _MAX_SESSIONS:
                self._sessions.popitem(last=False)
        self._sessions.move_to_end(session_id)
        return session

    # -- requests ---------------------------------------------------------------------

    def execute(self, req: ExecRequest) -> ExecResult:
        try:
            stmt = parse_request(req.text)
        except MultiStatementError as ex:
            raise ClickHouseError.of(
                SYNTAX_ERROR,
                f"Syntax error (Multi-statements are not allowed): failed at position {ex.position + 1} "
                f"(end of query): {ex.rest[:60]}",
            ) from None
        except LexError:
            stmt = Statement(text=req.text, kind="", text_without_format=req.text)
        with self._lock:
            session = self._session(req.session_id)
            readonly = req.readonly or bool(session and session.readonly)
            guard.check(self._syntax_tree(stmt, req.params), req.user, readonly, req.readonly_hint)
            if stmt.kind == "SET":
                return self._set(stmt, session)
            if stmt.kind == "USE":
                return self._use(stmt, session)
            wanted = {k: sql_string(v) for k, v in BASELINE_SETTINGS.items()}
            if session:
                wanted.update(session.settings)
            for name, value in req.settings.items():
                if not _SETTING_NAME.fullmatch(name):  # names go into SET statements unquoted
                    raise ClickHouseError.of(UNKNOWN_SETTING, f"Unknown setting '{name}'")
                wanted[name] = sql_string(value)
            self._sync_settings(wanted)
            self._use_database(req.database or (session.database if session else None) or "default")
            if stmt.insert_format and stmt.insert_format.lower() != "values":
                return self._insert_with_data(stmt, req)
            return self._query(stmt, req)

    def _syntax_tree(self, stmt: Statement, params: Mapping[str, str]) -> list[guard.Node]:
        """The statement as the engine parses it (inline INSERT data left out)."""
        text = f"{stmt.insert_head} FORMAT {stmt.insert_format}" if stmt.insert_format else stmt.text
        try:
            return guard.parse_ast(self._raw(guard.EXPLAIN_PREFIX + text, "TabSeparated", params).decode())
        except ClickHouseError as err:
            raise guard.unshift_error(err) from None

    def _query(self, stmt: Statement, req: ExecRequest) -> ExecResult:
        fmt = stmt.output_format or req.default_format
        result = self._run(stmt.text, fmt, req.params)
        body = result.bytes() or b""
        if stmt.kind not in RESULT_KINDS:
            return ExecResult(body, None, _summary(result))
        if not body and fmt.lower() == "native":
            # The engine writes nothing for an empty Native result; clients still expect the columns.
            meta = json.loads(self._raw(stmt.text_without_format, "JSONCompact", req.params) or b"{}")
            body = native_header_block([(c["name"], c["type"]) for c in meta.get("meta", [])])
        return ExecResult(body, fmt, _summary(result))

    def _insert_with_data(self, stmt: Statement, req: ExecRequest) -> ExecResult:
        fmt = stmt.insert_format or ""
        data = stmt.insert_data
        try:
            data.encode("utf-8")
            is_text = fmt.lower() not in _BINARY_FORMATS
        except UnicodeEncodeError:
            is_text = False
        if is_text:
            result = self._run(f"{stmt.insert_head} FORMAT {fmt}\n{data}", "TabSeparated", req.params)
            return ExecResult(b"", None, _summary(result))
        fd, path = tempfile.mkstemp(dir=self._tmp_dir, suffix=".data")
        try:
            with os.fdopen(fd, "wb") as f:
                f.write(data.encode("utf-8", "surrogateescape"))
            sql = f"{stmt.insert_head} SELECT * FROM file({sql_string(path)}, {sql_string(fmt)})"
            result = self._run(sql, "TabSeparated", req.params)
        finally:
            os.unlink(path)
        return ExecResult(b"", None, _summary(result))

    def _set(self, stmt: Statement, session: _Session | None) -> ExecResult:
        assignments = _parse_set(stmt.text)
        # The read-only mode is the server's own business: kept per session, never set on the engine.
        readonly = assignments.pop("readonly", None)
        if readonly is not None and session is not None:
            session.readonly = readonly.strip("'\"") not in ("0", "")
        literals = dict(self._applied)
        literals.update(assignments)
        self._sync_settings(literals)  # fails here, like the server would, on an unknown setting or bad value
        if session is not None:
            session.settings.update(assignments)
        return ExecResult(b"", None, {})

    def _use(self, stmt: Statement, session: _Session | None) -> ExecResult:
        toks = list(itertools.islice(tokens(stmt.text), 3))
        if len(toks) != 2 or toks[1].kind not in ("word", "quoted"):
            raise ClickHouseError.of(SYNTAX_ERROR, f"Syntax error: failed at position 1: {stmt.text[:60]}")
        name = toks[1].text.strip("`\"")
        self._use_database(name)  # checks that the database exists
        if session is not None:
            session.database = name
        return ExecResult(b"", None, {})


def _parse_set(text: str) -> dict[str, str]:
    """SET a = 1, b = 'x' -> {"a": "1", "b": "'x'"} (values kept as SQL literals)."""
    toks = list(tokens(text))[1:]
    out: dict[str, str] = {}
    i = 0
    while i < len(toks):
        if i + 2 >= len(toks) or toks[i].kind != "word" or toks[i + 1].text != "=":
            raise ClickHouseError.of(SYNTAX_ERROR, f"Syntax error: failed at position {toks[i].start + 1}: {text[:60]}")
        name = toks[i].text
        j = i + 2
        depth = 0
        while j < len(toks) and not (depth == 0 and toks[j].text == ","):
            depth += {"open": 1, "close": -1}.get(toks[j].kind, 0)
            j += 1
        out[name] = text[toks[i + 2].start : toks[j - 1].end]
        i = j + 1
    return out


def _summary(result) -> dict[str, str]:
    written = result.rows_written()
    summary = {
        "read_rows": str(result.rows_read()),
        "read_bytes": str(result.bytes_read()),
        "written_rows": str(written),
        "written_bytes": str(result.bytes_written()),
        "total_rows_to_read": "0",
        "elapsed_ns": str(int(result.elapsed() * 1e9)),
    }
    if written:
        summary["result_rows"] = str(written)
        summary["result_bytes"] = str(result.bytes_written())
    return summary
