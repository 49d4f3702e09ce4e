"""The ClickHouse engine (chdb) behind the HTTP front.

Requests run side by side, each on an engine connection of its own taken from a pool; a
session keeps one connection for itself, so its temporary tables and settings are its own
and go away with it. The read-only user's connections are opened with readonly=1, so the
engine itself refuses writes and setting changes for them.

Per-request settings are applied with SET on the connection and taken back on the next
request that does not ask for them, so every request sees exactly the store's baseline
plus what it (or its session) asked for.
"""
from __future__ import annotations

import itertools
import json
import os
import re
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Mapping
from urllib.parse import urlencode

import chdb
from clickhouse_connect.driver.binding import format_str as sql_string

from . import guard, native
from .errors import (
    BAD_ARGUMENTS, SESSION_IS_LOCKED, SESSION_NOT_FOUND, SYNTAX_ERROR, UNKNOWN_SETTING,
    ClickHouseError,
)
from .sqltext import RESULT_KINDS, LexError, MultiStatementError, Statement, only_rows, parse_request, tokens

# Every query stops after this many seconds (a request may ask for less, never for more):
# far above any query of the suite or the benchmarks, far below a stuck client's patience.
MAX_EXECUTION_TIME = 600
# Statements are answered only once their mutations have been applied to every part.
BASELINE_SETTINGS = {"mutations_sync": "2", "max_execution_time": str(MAX_EXECUTION_TIME)}

DEFAULT_SESSION_TIMEOUT = 60  # seconds, as ClickHouse's session_timeout
MAX_SESSION_TIMEOUT = 3600  # ClickHouse's http_max_session_timeout
_MAX_SESSIONS = 256
_SETTING_NAME = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
_MARKER = re.compile(r"[0-9a-f]{32}")


@dataclass
class ExecRequest:
    text: str  # the full request text (query, then inline data if any); binary data kept as surrogates
    user: str
    readonly: bool = False
    user_readonly: bool = False  # the user itself is read-only: the engine enforces readonly=1
    database: str | None = None
    default_format: str = "TabSeparated"
    settings: Mapping[str, str] = field(default_factory=dict)  # raw setting values
    params: Mapping[str, str] = field(default_factory=dict)  # query parameters {name:Type}
    session_id: str | None = None
    session_timeout: str | None = None
    session_check: bool = False
    readonly_hint: str = ""  # appended to the read-only refusal (why the request is read-only)
    marker: str = ""  # 32 hex digits tagging the running query, so cancel() can find it
    protocol_version: int = 0  # client_protocol_version: shapes Native answers


@dataclass
class ExecResult:
    body: bytes
    output_format: str | None  # None for statements without a result set
    summary: dict[str, str]


class _Conn:
    """One engine connection and the state the front has put on it."""

    def __init__(self, path: str, readonly: bool):
        # A read-only connection cannot SET anything, so it gets its baseline when opened.
        self.chdb = chdb.connect(path + "?" + urlencode({"readonly": "1", **BASELINE_SETTINGS}) if readonly else path)
        self.readonly = readonly
        self.applied: dict[str, str] = {}  # settings now set on the connection, name -> literal
        self.database = "default"


class _Session:
    def __init__(self, user: str, conn: _Conn, timeout: int) -> None:
        self.user = user
        self.conn = conn
        self.timeout = timeout
        self.lock = threading.Lock()  # held by the one request using the session
        self.last_used = time.monotonic()
        self.settings: dict[str, str] = {}  # name -> SQL literal
        self.database: str | None = None
        self.readonly = False


class Engine:
    def __init__(self, data_dir: str | os.PathLike[str]):
        self.data_dir = Path(data_dir)
        self.data_dir.mkdir(parents=True, exist_ok=True)
        self._path = str(self.data_dir / "db")
        self._pool_lock = threading.Lock()
        self._free: dict[bool, list[_Conn]] = {False: [], True: []}
        self._sessions: dict[str, _Session] = {}
        self._sessions_lock = threading.Lock()
        conn = self._acquire(False)
        try:
            self._sync_settings(conn, self._baseline(conn))
            version, tz = self._raw(conn, "SELECT version(), timezone()").decode().strip().split("\t")
        finally:
            self._release(conn)
        self.version = version
        self.timezone = tz

    def close(self) -> None:
        with self._sessions_lock, self._pool_lock:
            conns = [s.conn for s in self._sessions.values()] + self._free[False] + self._free[True]
            self._sessions.clear()
            self._free = {False: [], True: []}
        for conn in conns:
            conn.chdb.close()

    # -- connections and their state --------------------------------------------------

    def _acquire(self, readonly: bool) -> _Conn:
        with self._pool_lock:
            if self._free[readonly]:
                return self._free[readonly].pop()
        return _Conn(self._path, readonly)

    def _release(self, conn: _Conn) -> None:
        with self._pool_lock:
            self._free[conn.readonly].append(conn)

    @staticmethod
    def _baseline(conn: _Conn) -> dict[str, str]:
        return {} if conn.readonly else {k: sql_string(v) for k, v in BASELINE_SETTINGS.items()}

    def _run(self, conn: _Conn, sql: str, fmt: str = "TabSeparated", params: Mapping[str, str] | None = None):
        try:
            sql.encode("utf-8")
        except UnicodeEncodeError as ex:  # the engine takes only UTF-8 statement texts
            raise ClickHouseError.of(
                BAD_ARGUMENTS, f"Cannot parse query: bytes that are not UTF-8 at position {ex.start + 1}"
            ) from None
        try:
            return conn.chdb.query(sql, fmt, params=dict(params) if params else None)
        except Exception as ex:  # chdb raises ChdbError or RuntimeError with ClickHouse's text
            raise ClickHouseError.from_engine(str(ex)) from None

    def _raw(self, conn: _Conn, sql: str, fmt: str = "TabSeparated", params: Mapping[str, str] | None = None) -> bytes:
        return self._run(conn, sql, fmt, params).bytes() or b""

    def _sync_settings(self, conn: _Conn, wanted: Mapping[str, str]) -> None:
        """Makes the connection's changed settings exactly `wanted` (name -> SQL literal)."""
        wanted = {name: _capped(name, literal) for name, literal in wanted.items()}
        for name in [n for n in conn.applied if n not in wanted]:
            self._raw(conn, f"SET {name} = DEFAULT")
            del conn.applied[name]
        for name, literal in wanted.items():
            if conn.applied.get(name) != literal:
                conn.applied.pop(name, None)
                self._raw(conn, f"SET {name} = {literal}")
                conn.applied[name] = literal

    def _use_database(self, conn: _Conn, database: str) -> None:
        if database != conn.database:
            self._raw(conn, f"USE `{database.replace('`', '``')}`")
            conn.database = database

    # -- sessions -----------------------------------------------------------------------

    def _session(self, req: ExecRequest) -> _Session | None:
        """The request's session, locked for it (created unless session_check asks it to exist)."""
        if not req.session_id:
            return None
        timeout = _session_timeout(req.session_timeout)
        with self._sessions_lock:
            self._expire_sessions()
            session = self._sessions.get(req.session_id)
            if session is None:
                if req.session_check:
                    raise ClickHouseError.of(SESSION_NOT_FOUND, f"Session {req.session_id} not found")
                session = _Session(req.user, _Conn(self._path, req.user_readonly), timeout)
                self._sessions[req.session_id] = session
            elif session.user != req.user:
                raise ClickHouseError.of(SESSION_IS_LOCKED, f"Session {req.session_id} belongs to a different user")
            if not session.lock.acquire(blocking=False):
                raise ClickHouseError.of(SESSION_IS_LOCKED, f"Session {req.session_id} is locked by a concurrent client")
            session.timeout = timeout
            return session

    def _release_session(self, session: _Session) -> None:
        session.last_used = time.monotonic()
        session.lock.release()

    def _expire_sessions(self) -> None:
        """Closes sessions idle past their timeout (the oldest idle ones too, beyond the cap)."""
        now = time.monotonic()
        idle = sorted(
            ((s.last_used, sid) for sid, s in self._sessions.items() if not s.lock.locked()), reverse=True
        )
        excess = max(0, len(self._sessions) + 1 - _MAX_SESSIONS)
        doomed = [sid for last, sid in idle if now - last > self._sessions[sid].timeout]
        doomed += [sid for _, sid in idle[len(idle) - excess:] if sid not in doomed] if excess else []
        for sid in doomed:
            self._sessions.pop(sid).conn.chdb.close()  # temporary tables go with the connection

    # -- requests ---------------------------------------------------------------------

    def cancel(self, marker: str) -> None:
        """Stops the query tagged with marker, if it still runs."""
        if not _MARKER.fullmatch(marker):
            raise ValueError("marker must be 32 hex digits")
        conn = self._acquire(False)
        try:
            self._raw(conn, f"KILL QUERY WHERE query LIKE '%{marker}%' AND query NOT LIKE 'KILL%' ASYNC")
        finally:
            self._release(conn)

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
        session = self._session(req)
        conn = session.conn if session else self._acquire(req.user_readonly)
        try:
            return self._execute(conn, stmt, req, session)
        finally:
            if session:
                self._release_session(session)
            else:
                self._release(conn)

    def _execute(self, conn: _Conn, stmt: Statement, req: ExecRequest, session: _Session | None) -> ExecResult:
        readonly = req.readonly or bool(session and session.readonly)
        head = f"{stmt.insert_head} FORMAT {stmt.insert_format}" if stmt.insert_format else stmt.text
        guard.check(self._syntax_tree(conn, head, req.params), req.user, readonly, req.readonly_hint, head)
        if stmt.insert_format and stmt.insert_format.lower() == "values":
            guard.check_rows(stmt.insert_data, req.user)
        if stmt.kind == "SET":
            return self._set(conn, stmt, session)
        if stmt.kind == "USE":
            return self._use(conn, stmt, session)
        wanted = self._baseline(conn)
        if session:
            wanted.update(session.settings)
        for name, value in req.settings.items():
            if not _SETTING_NAME.fullmatch(name):  # names go into SET statements unquoted
                raise ClickHouseError.of(UNKNOWN_SETTING, f"Unknown setting '{name}'")
            wanted[name] = sql_string(value)
        self._sync_settings(conn, wanted)
        self._use_database(conn, req.database or (session.database if session else None) or "default")
        if stmt.values_clause and req.params:
            # Rows holding {name:Type} parameters need the statement path, which substitutes them;
            # rows only, so no second statement can follow them there.
            if not only_rows(stmt.insert_data):
                raise ClickHouseError.of(SYNTAX_ERROR, "Syntax error: VALUES must be followed by rows only")
            return self._query(conn, stmt, req)
        if stmt.insert_format:
            return self._insert_with_data(conn, stmt)
        return self._query(conn, stmt, req)

    def _syntax_tree(self, conn: _Conn, text: str, params: Mapping[str, str]) -> list[guard.Node]:
        """The statement as the engine parses it (inline INSERT data left out)."""
        try:
            return guard.parse_ast(self._raw(conn, guard.EXPLAIN_PREFIX + text, "TabSeparated", params).decode())
        except ClickHouseError as err:
            raise guard.unshift_error(err) from None

    def _query(self, conn: _Conn, stmt: Statement, req: ExecRequest) -> ExecResult:
        fmt = stmt.output_format or req.default_format
        # The marker rides in a comment on a line of its own, after anything the text left open.
        # (not after VALUES rows: the engine reads whatever follows them as more rows)
        text = f"{stmt.text}\n/* {req.marker} */" if req.marker and not stmt.values_clause else stmt.text
        if fmt.lower() == "native" and req.protocol_version >= native.BLOCK_INFO_REVISION:
            return self._native_blocks(conn, stmt, text, req)
        result = self._run(conn, text, fmt, req.params)
        # An empty result is answered as the engine wrote it (no block at all for Native, as a server does).
        body = result.bytes() or b""
        return ExecResult(body, fmt if stmt.kind in RESULT_KINDS else None, _summary(result))

    def _native_blocks(self, conn: _Conn, stmt: Statement, text: str, req: ExecRequest) -> ExecResult:
        """A Native answer block by block, shaped for the client's protocol version."""
        started = time.monotonic()
        try:
            stream = conn.chdb.send_query(text, "Native", params=dict(req.params) if req.params else None)
            chunks = list(stream)
        except Exception as ex:  # the engine's text, behind chdb's own prefix
            err = ClickHouseError.from_engine(str(ex))
            if not err.message.startswith("Streaming query is not supported"):
                raise err from None
            chunks = [self._run(conn, text, "Native", req.params)]  # DESCRIBE, SHOW, ...: small, walked whole
        body = native.for_revision((c.bytes() or b"" for c in chunks), req.protocol_version,
                                   lambda: self._true_types(conn, stmt, req.params))
        summary = {
            "read_rows": str(sum(c.rows_read() for c in chunks)),
            "read_bytes": str(sum(c.bytes_read() for c in chunks)),
            "written_rows": "0", "written_bytes": "0", "total_rows_to_read": "0",
            "elapsed_ns": str(int((time.monotonic() - started) * 1e9)),
        }
        return ExecResult(body, "Native" if stmt.kind in RESULT_KINDS else None, summary)

    def _true_types(self, conn: _Conn, stmt: Statement, params: Mapping[str, str]) -> list[str] | None:
        """The result's type names as the engine knows them (zones included), or None."""
        try:
            raw = self._raw(conn, f"DESCRIBE TABLE ({stmt.text_without_format})", "JSONCompact", params)
        except ClickHouseError:
            return None
        return [row[1] for row in json.loads(raw)["data"]]

    def _insert_with_data(self, conn: _Conn, stmt: Statement) -> ExecResult:
        """Inline data goes to the engine as data in its format, never as statement text."""
        started = time.monotonic()
        try:
            inserter = conn.chdb.send_insert(stmt.insert_head, stmt.insert_format or "")
            with inserter:
                inserter.append(stmt.insert_data.encode("utf-8", "surrogateescape"))
                done = inserter.finish()
        except Exception as ex:  # the engine's text, behind chdb's own prefix
            raise ClickHouseError.from_engine(str(ex)) from None
        summary = {
            "read_rows": "0", "read_bytes": "0",
            "written_rows": str(done.rows_written), "written_bytes": str(done.bytes_written),
            "total_rows_to_read": "0", "elapsed_ns": str(int((time.monotonic() - started) * 1e9)),
        }
        if done.rows_written:
            summary["result_rows"] = str(done.rows_written)
            summary["result_bytes"] = str(done.bytes_written)
        return ExecResult(b"", None, summary)

    def _set(self, conn: _Conn, stmt: Statement, session: _Session | None) -> ExecResult:
        assignments = _parse_set(stmt.text)
        # The read-only mode is the server's own business: kept per session, never set on the engine.
        readonly = assignments.pop("readonly", None)
        if readonly is not None and session is not None:
            session.readonly = readonly.strip("'\"") not in ("0", "")
        literals = dict(conn.applied)
        literals.update(assignments)
        self._sync_settings(conn, literals)  # fails here, like the server would, on an unknown setting or bad value
        if session is not None:
            session.settings.update(assignments)
        return ExecResult(b"", None, {})

    def _use(self, conn: _Conn, stmt: Statement, session: _Session | None) -> ExecResult:
        toks = list(itertools.islice(tokens(stmt.text), 3))
        if len(toks) != 2 or toks[1].kind not in ("word", "quoted"):
            raise ClickHouseError.of(SYNTAX_ERROR, f"Syntax error: failed at position 1: {stmt.text[:60]}")
        name = toks[1].text.strip("`\"")
        self._use_database(conn, name)  # checks that the database exists
        if session is not None:
            session.database = name
        return ExecResult(b"", None, {})


def _capped(name: str, literal: str) -> str:
    """max_execution_time within the server's limit: 0 (no limit) and larger values become the limit."""
    if name != "max_execution_time":
        return literal
    try:
        seconds = float(literal.strip("'"))
    except ValueError:
        return literal  # the engine refuses it with its own message
    return literal if 0 < seconds <= MAX_EXECUTION_TIME else str(MAX_EXECUTION_TIME)


def _session_timeout(text: str | None) -> int:
    if text is None or text == "":
        return DEFAULT_SESSION_TIMEOUT
    if not text.isdigit():
        raise ClickHouseError.of(BAD_ARGUMENTS, f"Invalid session timeout: '{text[:40]}'")
    timeout = int(text)
    if timeout > MAX_SESSION_TIMEOUT:
        raise ClickHouseError.of(
            BAD_ARGUMENTS,
            f"Session timeout '{timeout}' is larger than http_max_session_timeout: {MAX_SESSION_TIMEOUT}. "
            "Maximum session timeout could be modified in configuration file.",
        )
    return timeout


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
