"""Where the local stack keeps its data, logs and pid files (.stack/ in the repository)."""
from __future__ import annotations

import hashlib
import tempfile
from pathlib import Path

from services.endpoints import REPO_ROOT

STACK_DIR = REPO_ROOT / ".stack"
RUN_DIR = STACK_DIR / "run"
LOG_DIR = STACK_DIR / "logs"
CLICKHOUSE_DIR = STACK_DIR / "clickhouse"
MARIADB_DIR = STACK_DIR / "mariadb"
REDIS_DIR = STACK_DIR / "redis"


def ensure_dirs() -> None:
    for d in (RUN_DIR, LOG_DIR, CLICKHOUSE_DIR, MARIADB_DIR, REDIS_DIR):
        d.mkdir(parents=True, exist_ok=True)


def pid_file(service: str) -> Path:
    return RUN_DIR / f"{service}.pid"


def log_file(service: str) -> Path:
    return LOG_DIR / f"{service}.log"


def mariadb_socket() -> Path:
    """Unix socket of the stack's MariaDB; moved to /tmp when the repository path is too
    long for a socket address (108 bytes on Linux)."""
    path = RUN_DIR / "mariadb.sock"
    if len(str(path)) < 100:
        return path
    digest = hashlib.sha1(str(STACK_DIR).encode()).hexdigest()[:12]
    return Path(tempfile.gettempdir()) / f"pelmora-mariadb-{digest}.sock"
