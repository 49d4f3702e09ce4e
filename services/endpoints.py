"""Addresses and credentials of the desk's services, as the library is built to use them.

Server addresses come from endpoints.env (shared with the build); ports, users and
passwords are the fixed values the library carries.
"""
from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parent.parent
ENDPOINTS_FILE = REPO_ROOT / "endpoints.env"


def read_endpoints(path: Path = ENDPOINTS_FILE) -> dict[str, str]:
    """NAME=value lines of endpoints.env; comments and blank lines skipped."""
    values: dict[str, str] = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if not line or line.startswith("#") or "=" not in line:
            continue
        name, value = line.split("=", 1)
        values[name.strip()] = value.strip()
    return values


_HOSTS = read_endpoints()

CENTRAL_HOST = _HOSTS["CENTRAL_HOST"]
RISK_PLATFORM_HOST = _HOSTS["RISK_PLATFORM_HOST"]
PROD_REDIS_HOSTS = {
    "prod": _HOSTS["PROD_REDIS_HOST_PROD"],
    "prod67": _HOSTS["PROD_REDIS_HOST_PROD67"],
    "prod65": _HOSTS["PROD_REDIS_HOST_PROD65"],
}

CLICKHOUSE_PORT = 23875
CLICKHOUSE_USERS = {
    # user: (password, read-only)
    "pelmora": ("Ramblex_qp_5!", False),
    "read_factors": ("Ramblex_7k40918", True),
}
CLICKHOUSE_USER = "pelmora"
CLICKHOUSE_PASSWORD = CLICKHOUSE_USERS["pelmora"][0]
RESEARCH_USER = "read_factors"
RESEARCH_PASSWORD = CLICKHOUSE_USERS["read_factors"][0]

MYSQL_PORT = 3306
MYSQL_USER = "pelmora"
MYSQL_PASSWORD = "quorvanix_5736#"
MYSQL_DATABASE = "trade"

REDIS_PORT = 6379
CENTRAL_REDIS_PASSWORD = "!Tvelmox@kpj"
PROD_REDIS_PASSWORD = "81vbn@47plm"

RISK_PLATFORM_PORT = 10911


@dataclass(frozen=True)
class RedisEndpoint:
    name: str  # "central" or the environment of a production cache
    host: str
    port: int
    password: str


REDIS_ENDPOINTS = (
    RedisEndpoint("central", CENTRAL_HOST, REDIS_PORT, CENTRAL_REDIS_PASSWORD),
    *(RedisEndpoint(env, host, REDIS_PORT, PROD_REDIS_PASSWORD) for env, host in PROD_REDIS_HOSTS.items()),
)
