"""The simulated risk platform: a threaded TCP server on a loopback address."""

from __future__ import annotations

import contextlib
import ipaddress
import os
import socket
import socketserver
import threading
from typing import Callable

from . import wire
from .accounts import AccountBook, Faults, answer_lines

MAX_LINE = 64 * 1024

# Refusal texts, sent GBK-encoded like every platform text.
REFUSALS = {
    "unknown_account": "账户不存在",
    "wrong_password": "密码错误",
    "refused": "登录被拒绝",
}


def _require_loopback(host: str) -> None:
    try:
        loopback = ipaddress.ip_address(host).is_loopback
    except ValueError:
        loopback = host == "localhost"
    if not loopback:
        raise ValueError(f"the simulator serves loopback addresses only, not {host!r}")


class _Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    block_on_close = False

    def __init__(self, simulator: "PlatformSimulator", address):
        self.simulator = simulator
        super().__init__(address, _Handler)


class _Handler(socketserver.BaseRequestHandler):
    def handle(self) -> None:
        sim: PlatformSimulator = self.server.simulator
        sock: socket.socket = self.request
        sock.settimeout(sim.idle_timeout)
        # An answer goes out in several sends: none may wait for the client's delayed ACK.
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with sim._track(sock), sock.makefile("rb") as reader:
            try:
                self._serve(sim, sock, reader)
            except OSError:
                pass  # the client went away or the simulator is stopping

    def _serve(self, sim: "PlatformSimulator", sock: socket.socket, reader) -> None:
        raw = reader.readline(MAX_LINE)
        if not raw:
            return  # a reachability probe: connect and close
        fields = wire.split(raw.rstrip(b"\n"))
        if fields[0] != b"LOGIN" or len(fields) < 3:
            sim._record("malformed", "")
            return
        user = fields[1].decode("utf-8", "replace")
        password = fields[2].decode("utf-8", "replace")
        sim._record("request", user)
        account = sim.book.account(user)
        faults = Faults.of(account or {})
        if faults.delay > 0 and sim._stopping.wait(faults.delay):
            return

        refusal = None
        if account is None:
            refusal = "unknown_account"
        elif faults.refuse_login:
            refusal = "refused"
        elif password != str(account.get("password", "")):
            refusal = "wrong_password"
        if refusal:
            sim._record("refused", user)
            sock.sendall(wire.line("REFUSED", wire.escape(REFUSALS[refusal].encode("gbk"))))
            return

        lines = [b"OK\n", *answer_lines(account)]
        if faults.drop_after is not None:
            n = faults.drop_after
            partial = lines[n][: len(lines[n]) // 2] if n < len(lines) else b""
            sock.sendall(b"".join(lines[:n]) + partial)
            sim._record("dropped", user)
            sock.shutdown(socket.SHUT_RDWR)
            return
        # Recorded before the answer leaves, so it precedes anything the
        # client does after reading it.
        sim._record("login", user)
        sock.sendall(b"".join(lines))

        after = reader.readline(MAX_LINE)
        sim._record("logout" if after.rstrip(b"\r\n") == b"LOGOUT" else "disconnected", user)


class PlatformSimulator:
    """Serves the accounts of a JSON data file to the trader library.

    Start it with `start()` (or as a context manager); port 0 picks a free
    port, read back from `port`. `events()` lists what happened, as
    (event, user id) pairs in order: "request" (login line received),
    "login" (login accepted, answer about to be sent), "refused",
    "dropped", "logout" (LOGOUT received), "disconnected" (closed without
    LOGOUT), "malformed".
    """

    def __init__(self, data_path: str | os.PathLike, host: str = "127.0.0.1", port: int = 0,
                 idle_timeout: float = 30.0, log: Callable[[str], None] | None = None):
        _require_loopback(host)
        self.book = AccountBook(data_path)
        self.idle_timeout = idle_timeout
        self._log = log
        self._events: list[tuple[str, str]] = []
        self._changed = threading.Condition()
        self._stopping = threading.Event()
        self._live: set[socket.socket] = set()
        self._live_lock = threading.Lock()
        self._server = _Server(self, (host, port))
        self._thread: threading.Thread | None = None

    @property
    def host(self) -> str:
        return self._server.server_address[0]

    @property
    def port(self) -> int:
        return self._server.server_address[1]

    def start(self) -> "PlatformSimulator":
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.05},
                                        name="platform-sim", daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        self._stopping.set()
        if self._thread is not None:
            self._server.shutdown()
            self._thread.join()
            self._thread = None
        with self._live_lock:
            for sock in self._live:
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
        self._server.server_close()

    def __enter__(self) -> "PlatformSimulator":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()

    def events(self, user: str | None = None) -> list[tuple[str, str]]:
        with self._changed:
            return [e for e in self._events if user is None or e[1] == user]

    def wait_for(self, event: str, user: str, count: int = 1, timeout: float = 5.0) -> bool:
        """True once (event, user) has happened `count` times; False after timeout."""
        with self._changed:
            return self._changed.wait_for(
                lambda: self._events.count((event, user)) >= count, timeout)

    def _record(self, event: str, user: str) -> None:
        with self._changed:
            self._events.append((event, user))
            self._changed.notify_all()
        if self._log:
            self._log(f"{event} {user}")

    @contextlib.contextmanager
    def _track(self, sock: socket.socket):
        # Open connections, so stop() can cut handlers that wait on a client.
        with self._live_lock:
            self._live.add(sock)
        try:
            yield
        finally:
            with self._live_lock:
                self._live.discard(sock)
