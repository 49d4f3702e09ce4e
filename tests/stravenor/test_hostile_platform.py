"""A platform that keeps sending: the library's limits on one answer (5 s,
32 MiB of record lines) hold whatever the peer sends, and the call ends as a
failed login instead of holding the caller and the library's lock."""

import socket
import threading
import time

import pytest

from pelmora.Stravenor import query_trader_all_info

# The peer gives up on its own after this long, so a regression fails the
# test instead of hanging the suite. A call ending near it is a hang.
PEER_GIVES_UP = 25.0
HANG_BOUND = 15.0

FIELD = b"A" * 60000
HEAD = b"OK\nFUND\t20250314\t1" + b"\t1" * 14 + b"\n"
BIG_POSITION = b"POS\t" + FIELD + b"\tLong\t1\t0\t1\t0\t0\n"  # ~60 KB a line


def endless(line: bytes):
    chunk = line * max(1, 65536 // len(line))
    yield HEAD
    while True:
        yield chunk


def big_positions(count: int):
    yield HEAD
    for _ in range(count):
        yield BIG_POSITION
    yield b"END\t%d\t0\t0\n" % count


class HostilePeer:
    """Answers every login with the chunks of `answer()`, until the client
    hangs up or PEER_GIVES_UP has passed."""

    def __init__(self, answer):
        self.answer = answer
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = str(self.listener.getsockname()[1])
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        with self.listener:
            conn, _ = self.listener.accept()
        with conn:
            conn.settimeout(1.0)
            give_up = time.monotonic() + PEER_GIVES_UP
            request = b""
            while not request.endswith(b"\n"):
                request += conn.recv(4096)
            try:
                for chunk in self.answer():
                    if time.monotonic() > give_up:
                        return
                    conn.sendall(chunk)
            except OSError:  # the client hung up: what a bounded client does
                pass


@pytest.mark.parametrize("answer", [
    lambda: endless(b"\n"),                  # empty lines, as fast as the socket takes them
    lambda: endless(b"NEWS\tskipped\n"),     # unknown records, skipped one by one
    lambda: big_positions(600),              # a complete answer of ~36 MB
], ids=["empty-lines", "unknown-records", "past-32-MiB"])
def test_hostile_answer_is_a_failed_login_within_the_limit(answer):
    peer = HostilePeer(answer)
    started = time.monotonic()
    result = query_trader_all_info("127.0.0.1", peer.port, "80050021", "580914", "position")
    assert time.monotonic() - started < HANG_BOUND
    assert result == {"登录成功": False, "data": []}
    peer.thread.join(PEER_GIVES_UP)


def test_large_answer_under_the_byte_limit_is_loaded():
    peer = HostilePeer(lambda: big_positions(400))  # ~24 MB of record lines
    result = query_trader_all_info("127.0.0.1", peer.port, "80050021", "580914", "position")
    assert result["登录成功"] is True
    assert len(result["data"]) == 400
    assert result["data"][0]["contract"] == "A" * 31
    peer.thread.join(PEER_GIVES_UP)
