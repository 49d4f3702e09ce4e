"""The stack's MariaDB: our own datadir under .stack/, run as our own process."""
from __future__ import annotations

import os
import shutil
import socket
import subprocess

from services import endpoints as ep

from . import paths

DATA_DIR = paths.MARIADB_DIR / "data"


class MariaDBError(RuntimeError):
    pass


def _binary(*names: str) -> str:
    for name in names:
        found = shutil.which(name) or next(
            (p for p in (f"/usr/sbin/{name}", f"/usr/bin/{name}") if os.access(p, os.X_OK)), None
        )
        if found:
            return found
    raise MariaDBError(f"none of {', '.join(names)} found; run scripts/ensure-deps.sh")


def _user_args() -> list[str]:
    # mariadbd refuses to run as root unless told to.
    return ["--user=root"] if os.geteuid() == 0 else []


def prepare() -> None:
    """Creates the datadir on first use."""
    if (DATA_DIR / "mysql").is_dir():
        return
    DATA_DIR.mkdir(parents=True, exist_ok=True)
    argv = [
        _binary("mariadb-install-db", "mysql_install_db"),
        "--no-defaults", f"--datadir={DATA_DIR}", "--auth-root-authentication-method=normal",
        "--skip-test-db", "--skip-name-resolve", *_user_args(),
    ]
    done = subprocess.run(argv, capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise MariaDBError(f"mariadb-install-db failed:\n{done.stdout[-2000:]}\n{done.stderr[-2000:]}")


def argv() -> list[str]:
    return [
        _binary("mariadbd", "mysqld"),
        "--no-defaults",
        f"--datadir={DATA_DIR}",
        f"--socket={paths.mariadb_socket()}",
        f"--port={ep.MYSQL_PORT}",
        f"--bind-address={ep.CENTRAL_HOST}",
        f"--pid-file={paths.RUN_DIR / 'mariadbd.pid'}",
        "--skip-name-resolve",
        "--skip-log-bin",
        "--performance-schema=OFF",
        "--innodb-buffer-pool-size=64M",
        "--character-set-server=utf8mb4",
        "--collation-server=utf8mb4_general_ci",
        *_user_args(),
    ]


def _root():
    import pymysql

    # The socket is connected here and handed over: PyMySQL leaves its own socket unclosed when
    # the connect itself fails (a server still starting), which shows as a ResourceWarning.
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        sock.settimeout(2)
        sock.connect(str(paths.mariadb_socket()))
    except OSError as e:
        sock.close()
        raise pymysql.err.OperationalError(2002, f"Can't connect to the local MariaDB socket ({e})") from e
    conn = pymysql.connect(unix_socket=str(paths.mariadb_socket()), user="root", connect_timeout=2,
                           autocommit=True, defer_connect=True)
    conn.connect(sock)
    return conn


def root_answers() -> bool:
    import pymysql

    try:
        _root().close()
        return True
    except pymysql.MySQLError:
        return False


def provision() -> None:
    """Database `trade` and the library's user (idempotent)."""
    conn = _root()
    try:
        with conn.cursor() as cur:
            cur.execute(f"CREATE DATABASE IF NOT EXISTS `{ep.MYSQL_DATABASE}` CHARACTER SET utf8mb4")
            for host in ("%", "localhost"):
                account = f"'{ep.MYSQL_USER}'@'{host}'".replace("%", "%%")  # the driver formats %s below
                cur.execute(f"CREATE USER IF NOT EXISTS {account} IDENTIFIED BY %s", (ep.MYSQL_PASSWORD,))
                cur.execute(f"ALTER USER {account} IDENTIFIED BY %s", (ep.MYSQL_PASSWORD,))
                cur.execute(f"GRANT ALL PRIVILEGES ON `{ep.MYSQL_DATABASE}`.* TO {account}", ())
    finally:
        conn.close()
