"""ClickHouse's HTTP interface, as far as clickhouse-connect uses it, in front of the engine."""
from __future__ import annotations

import email.parser
import email.policy
import io
import json
import select
import socket
import sys
import threading
import time
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Mapping
from urllib.parse import parse_qsl, urlsplit

from . import compression
from .auth import Users
from .engine import Engine, ExecRequest, ExecResult
from .errors import BAD_ARGUMENTS, HTTP_LENGTH_REQUIRED, NOT_IMPLEMENTED, QUERY_IS_TOO_LARGE, STD_EXCEPTION, ClickHouseError

# URL parameters that steer the HTTP layer and are not engine settings.
_TRANSPORT_PARAMS = frozenset(
    {
        "query", "database", "default_format", "query_id", "session_id", "session_timeout", "session_check",
        "compress", "decompress", "buffer_size", "wait_end_of_query", "client_protocol_version", "quota_key",
        "role", "user", "password", "stacktrace", "close_session", "readonly", "enable_http_compression",
        "send_progress_in_http_headers", "http_headers_progress_interval_ms", "http_zlib_compression_level",
        "cancel_http_readonly_queries_on_client_close", "add_http_cors_header",
    }
)

_CONTENT_TYPES = {
    "native": "application/octet-stream",
    "rowbinary": "application/octet-stream",
    "tabseparated": "text/tab-separated-values; charset=UTF-8",
    "tsv": "text/tab-separated-values; charset=UTF-8",
    "csv": "text/csv; charset=UTF-8; header=absent",
}


def _content_type(fmt: str | None) -> str:
    if fmt is None:
        return "text/plain; charset=UTF-8"
    low = fmt.lower()
    if low.startswith("json"):
        return "application/json; charset=UTF-8"
    for prefix, ctype in _CONTENT_TYPES.items():
        if low.startswith(prefix):
            return ctype
    return "text/plain; charset=UTF-8"


class ClickHouseHTTPServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 4096  # ClickHouse's listen_backlog: bursts of connections wait, not reset

    def __init__(self, address: tuple[str, int], engine: Engine, users: Users):
        self.engine = engine
        self.users = users
        self.display_name = socket.gethostname()
        super().__init__(address, _Handler)

    def handle_error(self, request, client_address) -> None:
        # A client that hangs up mid-answer is routine; anything else is worth a traceback.
        if not isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            super().handle_error(request, client_address)


IDLE_TIMEOUT = 60  # seconds a kept-alive connection may sit idle before the server closes it
HEAD_TIMEOUT = 10  # seconds to send a request's line and headers once its first byte came
_WATCH_INTERVAL = 0.2  # seconds between looks at the client while its query runs
# The front holds a request whole in memory: bounds on its body as sent and once decompressed.
MAX_BODY_BYTES = 32 * 1024 * 1024
MAX_DECODED_BYTES = 64 * 1024 * 1024
_MAX_CHUNK_LINE = 1024  # a chunk-size line (hex size and extensions)


class _DeadlineSocketReader(io.RawIOBase):
    """Reads the socket, within a deadline while one is set and within IDLE_TIMEOUT per read otherwise."""

    def __init__(self, sock: socket.socket):
        super().__init__()
        self._sock = sock
        self.deadline: float | None = None

    def readable(self) -> bool:
        return True

    def readinto(self, buffer) -> int:
        wait = IDLE_TIMEOUT
        if self.deadline is not None:
            wait = self.deadline - time.monotonic()
            if wait <= 0:
                raise TimeoutError("request head not received in time")
        self._sock.settimeout(wait)
        return self._sock.recv_into(buffer)


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = IDLE_TIMEOUT  # frees the thread of a client that went quiet
    # Head and body go out as two writes on a kept-alive connection: with Nagle's algorithm the
    # body would wait for the client's delayed ACK of the head (about 40 ms an answer).
    disable_nagle_algorithm = True
    server: ClickHouseHTTPServer
    server_version = "ClickHouse"
    sys_version = ""
    _body_pending = False  # the request announced a body that is not read yet

    def setup(self) -> None:
        super().setup()
        self._reader = _DeadlineSocketReader(self.connection)
        self.rfile = io.BufferedReader(self._reader)

    def handle_one_request(self) -> None:
        # An idle kept-alive connection may wait for its next request; once that starts, its
        # line and headers must all arrive within HEAD_TIMEOUT (a slow sender holds no thread).
        self._reader.deadline = None
        try:
            if not self.rfile.peek(1):
                self.close_connection = True
                return
        except OSError:
            self.close_connection = True
            return
        self._reader.deadline = time.monotonic() + HEAD_TIMEOUT
        super().handle_one_request()

    def log_message(self, format: str, *args) -> None:  # noqa: A002 (signature of the base class)
        pass  # one line per request would drown the stack's log

    # -- entry points -------------------------------------------------------------------

    def do_GET(self) -> None:  # noqa: N802 (name fixed by http.server)
        self._handle()

    def do_POST(self) -> None:  # noqa: N802
        self._handle()

    def do_HEAD(self) -> None:  # noqa: N802
        self._reply(200, b"", {"Content-Type": "text/html; charset=UTF-8"})

    def _handle(self) -> None:
        self._reader.deadline = None  # the head is in; the body reads within IDLE_TIMEOUT per read
        self._body_pending = self._announces_body()
        url = urlsplit(self.path)
        params = dict(parse_qsl(url.query, keep_blank_values=True))
        query_id = params.get("query_id") or str(uuid.uuid4())
        try:
            if url.path in ("/ping", "/") and "query" not in params and self.command == "GET":
                self._reply(200, b"Ok.\n", {"Content-Type": "text/html; charset=UTF-8"})
                return
            if url.path not in ("/", ""):
                raise ClickHouseError.of(NOT_IMPLEMENTED, f"There is no handler for {url.path}")
            # Credentials first: nothing of an unauthenticated body is read or decompressed.
            user = self.server.users.authenticate(self.headers, params)
            body = compression.decode(self._read_body(), self.headers.get("Content-Encoding"), MAX_DECODED_BYTES)
            text, form_params = self._request_text(params, body)
            params.update(form_params)
            # As in ClickHouse, GET only reads; writes need POST.
            via_get = self.command == "GET"
            req = ExecRequest(
                text=text,
                user=user.name,
                readonly=user.readonly or via_get or params.get("readonly", "0") not in ("0", ""),
                user_readonly=user.readonly,
                readonly_hint=(" For queries over HTTP, method GET implies readonly. You should use method POST "
                               "for modifying queries" if via_get and not user.readonly else ""),
                database=params.get("database") or None,
                default_format=params.get("default_format") or "TabSeparated",
                settings={k: v for k, v in params.items() if k not in _TRANSPORT_PARAMS and not k.startswith("param_")},
                params={k[len("param_"):]: v for k, v in params.items() if k.startswith("param_")},
                session_id=params.get("session_id") or None,
                session_timeout=params.get("session_timeout"),
                session_check=params.get("session_check", "0") not in ("0", ""),
                marker=uuid.uuid4().hex,
                protocol_version=_protocol_version(params.get("client_protocol_version", "")),
            )
            result = self._execute_watching_client(req)
        except ClickHouseError as err:
            self._reply_error(err, query_id)
            return
        except Exception as ex:  # anything unexpected still gets ClickHouse's error shape
            self._reply_error(ClickHouseError.of(STD_EXCEPTION, f"{type(ex).__name__}: {ex}"), query_id)
            return
        self._reply_result(result, query_id, params)

    def _execute_watching_client(self, req: ExecRequest) -> ExecResult:
        """Runs the request on a worker; a query whose client hung up is stopped, as a server does."""
        outcome: list = []

        def work() -> None:
            try:
                outcome.append(self.server.engine.execute(req))
            except BaseException as ex:  # handed over to the request's thread
                outcome.append(ex)

        worker = threading.Thread(target=work, name="query", daemon=True)
        worker.start()
        while worker.is_alive():
            worker.join(_WATCH_INTERVAL)
            if worker.is_alive() and self._client_gone():
                self.close_connection = True
                try:
                    self.server.engine.cancel(req.marker)
                except ClickHouseError:
                    pass  # tried again on the next look while the query runs
        if isinstance(outcome[0], BaseException):
            raise outcome[0]
        return outcome[0]

    def _client_gone(self) -> bool:
        # poll, not the socket's own wait: recv on a socket with a time-out would block until then
        poller = select.poll()
        poller.register(self.connection, select.POLLIN | select.POLLRDHUP)
        if not poller.poll(0):
            return False
        try:
            return self.connection.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) == b""
        except BlockingIOError:
            return False
        except OSError:
            return True

    # -- request ------------------------------------------------------------------------

    def _announces_body(self) -> bool:
        return (self.headers.get("Transfer-Encoding", "").lower() == "chunked"
                or self.headers.get("Content-Length", "0").strip() not in ("", "0"))

    def _read_body(self) -> bytes:
        body = self._read_chunked() if self.headers.get("Transfer-Encoding", "").lower() == "chunked" else None
        if body is None:
            length = self.headers.get("Content-Length")
            if length is None:
                if self.command == "POST":
                    raise ClickHouseError.of(HTTP_LENGTH_REQUIRED, "The Transfer-Encoding is not chunked and there is no Content-Length header for POST request")
                return b""
            body = self.rfile.read(_body_size(length.strip(), 10, "Content-Length"))
        self._body_pending = False
        return body

    def _read_chunked(self) -> bytes:
        chunks = []
        total = 0
        while True:
            size_line = self.rfile.readline(_MAX_CHUNK_LINE + 1)
            if len(size_line) > _MAX_CHUNK_LINE:
                raise ClickHouseError.of(BAD_ARGUMENTS, "Chunk size line is too long")
            size = _body_size(size_line.split(b";", 1)[0].strip().decode("latin-1") or "0", 16, "chunk size")
            if size == 0:
                for _ in range(100):  # trailers, a bounded number of bounded lines
                    if self.rfile.readline(_MAX_CHUNK_LINE + 1) in (b"\r\n", b"\n", b""):
                        return b"".join(chunks)
                raise ClickHouseError.of(BAD_ARGUMENTS, "Too many trailer lines after the last chunk")
            total += size
            if total > MAX_BODY_BYTES:
                raise _too_large()
            chunks.append(self.rfile.read(size))
            self.rfile.readline(_MAX_CHUNK_LINE + 1)

    def _request_text(self, params: Mapping[str, str], body: bytes) -> tuple[str, dict[str, str]]:
        """The statement text: the query parameter, a line break, then the body (ClickHouse joins them so)."""
        form: dict[str, str] = {}
        ctype = self.headers.get("Content-Type", "")
        if ctype.startswith("multipart/form-data"):
            form = _form_fields(ctype, body)
            body = b""
            if "query" in form:
                return form.pop("query"), form
        query = params.get("query", "")
        raw = (query.encode("utf-8") + b"\n" if query and body else query.encode("utf-8")) + body
        # Binary INSERT data survives the round trip to text as surrogates.
        return raw.decode("utf-8", "surrogateescape"), form

    # -- response -----------------------------------------------------------------------

    def _common_headers(self, query_id: str) -> dict[str, str]:
        return {
            "X-ClickHouse-Server-Display-Name": self.server.display_name,
            "X-ClickHouse-Query-Id": query_id,
            "X-ClickHouse-Timezone": self.server.engine.timezone,
        }

    def _reply_result(self, result: ExecResult, query_id: str, params: Mapping[str, str]) -> None:
        headers = self._common_headers(query_id)
        headers["Content-Type"] = _content_type(result.output_format)
        if result.output_format is not None:
            headers["X-ClickHouse-Format"] = result.output_format
        headers["X-ClickHouse-Summary"] = json.dumps(result.summary, separators=(",", ":"))
        body = result.body
        if params.get("enable_http_compression", "0") not in ("0", "") and body:
            encoding = compression.choose_encoding(self.headers.get("Accept-Encoding"))
            if encoding:
                body = compression.encode(body, encoding)
                headers["Content-Encoding"] = encoding
        self._reply(200, body, headers)

    def _reply_error(self, err: ClickHouseError, query_id: str) -> None:
        if self._body_pending:
            self.close_connection = True  # the unread body must not pass for the next request
        headers = self._common_headers(query_id)
        headers["Content-Type"] = "text/plain; charset=UTF-8"
        headers["X-ClickHouse-Exception-Code"] = str(err.code)
        self._reply(err.http_status, err.body(self.server.engine.version).encode("utf-8"), headers)

    def _reply(self, status: int, body: bytes, headers: Mapping[str, str]) -> None:
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Keep-Alive", f"timeout={IDLE_TIMEOUT}")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)


def _protocol_version(text: str) -> int:
    if not text:
        return 0
    if not text.isdigit() or len(text) > 9:
        raise ClickHouseError.of(BAD_ARGUMENTS, f"Invalid client_protocol_version: {text[:40]!r}")
    return int(text)


def _too_large() -> ClickHouseError:
    return ClickHouseError.of(QUERY_IS_TOO_LARGE, f"Request body is larger than {MAX_BODY_BYTES} bytes")


def _body_size(text: str, base: int, what: str) -> int:
    """A body or chunk size from its header text, within MAX_BODY_BYTES."""
    try:
        size = int(text, base)
    except ValueError:
        size = -1
    if size < 0 or not text.isalnum():
        raise ClickHouseError.of(BAD_ARGUMENTS, f"Invalid {what}: {text[:40]!r}")
    if size > MAX_BODY_BYTES:
        raise _too_large()
    return size


def _form_fields(content_type: str, body: bytes) -> dict[str, str]:
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + content_type.encode("latin-1") + b"\r\n\r\n" + body
    )
    fields: dict[str, str] = {}
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        if part.get_filename():
            raise ClickHouseError.of(NOT_IMPLEMENTED, "External data (temporary tables from files) is not supported")
        if name:
            fields[name] = part.get_payload(decode=True).decode("utf-8", "surrogateescape")
    return fields
