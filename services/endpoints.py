"""Addresses and credentials of the desk's services, as the library is built to use them.

Everything comes from endpoints.env, the file the build reads for the library's own constants.
"""
from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parent.parent
ENDPOINTS_FILE = REPO_ROOT / "endpoints.env"


# Blanks around a name or a value; cmake/EndpointsFile.cmake reads the file by the same rule.
_BLANKS = " \t\r\v\f"
_LINE = re.compile(r"([A-Z0-9_]+)[ \t]*=(.*)", re.DOTALL)


def read_endpoints(path: Path = ENDPOINTS_FILE) -> dict[str, str]:
    """NAME=value lines of endpoints.env; blank lines and comments skipped, any other line refused."""
    values: dict[str, str] = {}
    for line in path.read_text(encoding="utf-8").replace("\r\n", "\n").split("\n"):
        bare = line.strip(_BLANKS)
        if not bare or bare.startswith("#"):
            continue
        match = _LINE.fullmatch(bare)
        if match is None:
            raise ValueError(f"{path}: not a NAME=value line: {line}")
        values[match.group(1)] = match.group(2).strip(_BLANKS)
    return values


_E = read_endpoints()

CENTRAL_HOST = _E["CENTRAL_HOST"]
RISK_PLATFORM_HOST = _E["RISK_PLATFORM_HOST"]
PROD_REDIS_HOSTS = {
    "prod": _E["PROD_REDIS_HOST_PROD"],
    "prod67": _E["PROD_REDIS_HOST_PROD67"],
    "prod65": _E["PROD_REDIS_HOST_PROD65"],
}

CLICKHOUSE_PORT = int(_E["CLICKHOUSE_PORT"])
CLICKHOUSE_USER = _E["CLICKHOUSE_USER"]
CLICKHOUSE_PASSWORD = _E["CLICKHOUSE_PASSWORD"]
RESEARCH_USER = _E["RESEARCH_USER"]
RESEARCH_PASSWORD = _E["RESEARCH_PASSWORD"]
CLICKHOUSE_USERS = {
    # user: (password, read-only)
    CLICKHOUSE_USER: (CLICKHOUSE_PASSWORD, False),
    RESEARCH_USER: (RESEARCH_PASSWORD, True),
}

MYSQL_PORT = int(_E["MYSQL_PORT"])
MYSQL_USER = _E["MYSQL_USER"]
MYSQL_PASSWORD = _E["MYSQL_PASSWORD"]
MYSQL_DATABASE = _E["MYSQL_DATABASE"]
MYSQL_CHARSET = _E["MYSQL_CHARSET"]

REDIS_PORT = int(_E["REDIS_PORT"])
CENTRAL_REDIS_PASSWORD = _E["CENTRAL_REDIS_PASSWORD"]
PROD_REDIS_PASSWORD = _E["PROD_REDIS_PASSWORD"]

RISK_PLATFORM_PORT = int(_E["RISK_PLATFORM_PORT"])
RISK_PLATFORM_PASSWORD = _E["RISK_PLATFORM_PASSWORD"]


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
