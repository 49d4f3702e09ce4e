"""Processes of the stack: start detached, find by pid file or by listening port, stop."""
from __future__ import annotations

import errno
import os
import signal
import socket
import subprocess
import time
from pathlib import Path
from typing import Callable, Sequence

from . import paths

# Children started by this process, so their exit status is collected (no zombies).
_children: dict[int, subprocess.Popen] = {}


def pid_alive(pid: int) -> bool:
    child = _children.get(pid)
    if child is not None and child.poll() is not None:
        return False
    try:
        os.kill(pid, 0)
    except OSError as ex:
        return ex.errno == errno.EPERM
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return True
    return state != "Z"


def cmdline(pid: int) -> str:
    try:
        raw = Path(f"/proc/{pid}/cmdline").read_bytes().decode(errors="replace")
    except OSError:
        return ""
    return " ".join(raw.replace("\0", " ").split())


def read_pid(service: str) -> int | None:
    try:
        return int(paths.pid_file(service).read_text().strip())
    except (OSError, ValueError):
        return None


def write_pid(service: str, pid: int) -> None:
    paths.pid_file(service).write_text(f"{pid}\n")


def remove_pid(service: str) -> None:
    try:
        paths.pid_file(service).unlink()
    except FileNotFoundError:
        pass


def port_open(host: str, port: int, timeout: float = 0.3) -> bool:
    try:
        with socket.create_connection((host, port), timeout=timeout):
            return True
    except OSError:
        return False


def _hex_address(host: str, port: int) -> str:
    packed = socket.inet_aton(host)
    return f"{int.from_bytes(packed, 'little'):08X}:{port:04X}"


def listener_pids(host: str, port: int) -> list[int]:
    """Processes listening on host:port (or on 0.0.0.0:port), found through /proc."""
    wanted = {_hex_address(host, port), _hex_address("0.0.0.0", port)}
    inodes: set[str] = set()
    try:
        for line in Path("/proc/net/tcp").read_text().splitlines()[1:]:
            fields = line.split()
            if len(fields) > 9 and fields[3] == "0A" and fields[1] in wanted:
                inodes.add(fields[9])
    except OSError:
        return []
    found: list[int] = []
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            for fd in (proc / "fd").iterdir():
                target = os.readlink(fd)
                if target.startswith("socket:[") and target[8:-1] in inodes:
                    found.append(int(proc.name))
                    break
        except OSError:
            continue
    return found


def describe_listener(host: str, port: int) -> str:
    pids = listener_pids(host, port)
    if not pids:
        return "an unknown process"
    return ", ".join(f"pid {pid} ({cmdline(pid)[:80] or '?'})" for pid in pids)


def spawn(service: str, argv: Sequence[str], cwd: Path | None = None, env: dict[str, str] | None = None) -> int:
    """Starts argv detached from this process's session, output to the service's log."""
    log = paths.log_file(service).open("ab")
    try:
        proc = subprocess.Popen(
            list(argv),
            cwd=cwd,
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            start_new_session=True,
        )
    finally:
        log.close()
    _children[proc.pid] = proc
    write_pid(service, proc.pid)
    return proc.pid


def wait_until(ready: Callable[[], bool], timeout: float, alive: Callable[[], bool] = lambda: True,
               interval: float = 0.1) -> bool:
    """Polls ready() until it holds, the process dies or the time runs out."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if ready():
            return True
        if not alive():
            return ready()
        time.sleep(interval)
    return ready()


def terminate(pid: int, timeout: float = 15.0) -> bool:
    """SIGTERM, then SIGKILL after timeout seconds. True if the process is gone."""
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return True
    if wait_until(lambda: not pid_alive(pid), timeout, interval=0.05):
        return True
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        return True
    return wait_until(lambda: not pid_alive(pid), 5.0, interval=0.05)


def log_tail(service: str, lines: int = 15) -> str:
    try:
        return "\n".join(paths.log_file(service).read_text(errors="replace").splitlines()[-lines:])
    except OSError:
        return ""
