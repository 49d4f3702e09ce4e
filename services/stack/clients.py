"""Clients of the stack's stores, with the credentials the library uses."""
from __future__ import annotations

import base64
import urllib.error
import urllib.parse
import urllib.request

from services import endpoints as ep
from services.endpoints import RedisEndpoint


def clickhouse(username: str = ep.CLICKHOUSE_USER, password: str = ep.CLICKHOUSE_PASSWORD):
    import clickhouse_connect

    return clickhouse_connect.get_client(
        host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT, username=username, password=password
    )


def clickhouse_answers(timeout: float = 1.0) -> bool:
    """True when the store on the ClickHouse port runs a query for the library's user."""
    url = f"http://{ep.CENTRAL_HOST}:{ep.CLICKHOUSE_PORT}/?" + urllib.parse.urlencode({"query": "SELECT 1"})
    token = base64.b64encode(f"{ep.CLICKHOUSE_USER}:{ep.CLICKHOUSE_PASSWORD}".encode()).decode()
    request = urllib.request.Request(url, headers={"Authorization": f"Basic {token}"})
    try:
        with urllib.request.urlopen(request, timeout=timeout) as response:
            return response.read().strip() == b"1"
    except (OSError, urllib.error.URLError):
        return False


def mysql(database: str | None = ep.MYSQL_DATABASE, connect_timeout: float = 3.0, **kwargs):
    import pymysql

    return pymysql.connect(
        host=ep.CENTRAL_HOST, port=ep.MYSQL_PORT, user=ep.MYSQL_USER, password=ep.MYSQL_PASSWORD,
        database=database, charset="utf8mb4", connect_timeout=connect_timeout, **kwargs,
    )


def mysql_answers() -> bool:
    import pymysql

    try:
        mysql(connect_timeout=1.0).close()
        return True
    except pymysql.MySQLError:
        return False


def redis_endpoint(name: str) -> RedisEndpoint:
    for endpoint in ep.REDIS_ENDPOINTS:
        if endpoint.name == name:
            return endpoint
    raise KeyError(f"no Redis cache named {name!r}; known: {[e.name for e in ep.REDIS_ENDPOINTS]}")


def redis(name: str = "central", db: int = 0, timeout: float = 3.0, **kwargs):
    import redis as redis_lib

    endpoint = redis_endpoint(name)
    return redis_lib.Redis(
        host=endpoint.host, port=endpoint.port, password=endpoint.password, db=db,
        decode_responses=True, socket_timeout=timeout, socket_connect_timeout=timeout, **kwargs,
    )


def redis_answers(name: str) -> bool:
    import redis as redis_lib
    from redis.backoff import NoBackoff
    from redis.retry import Retry

    try:
        # One short try: something silent on the port must not hold up the start.
        conn = redis(name, timeout=1.0, retry=Retry(NoBackoff(), 0))
        try:
            return bool(conn.ping())
        finally:
            conn.close()
    except redis_lib.RedisError:
        return False
