"""Stand-ins for the stores and the platform, substituted on the module `pelmora.Pelmora`.

They let routing, argument checks and failure codes run in milliseconds without services.
The real stack stays the place for what only real services show (statement texts against
the schema, data round trips, time zones, faults of a real store).
"""
from __future__ import annotations

import types
from dataclasses import dataclass, field
from typing import Any, Callable

from services.clickhouse_http.native import BLOCK_INFO_REVISION

from .catalogue import template_of
from .native import native_result


@dataclass
class Answer:
    needle: str  # a piece of the statement text this answer is for
    rows: list = field(default_factory=list)
    columns: list = field(default_factory=list)
    types: list | None = None  # the columns' types in Native answers; guessed from the values when None
    error: BaseException | None = None


class UnknownStatement(Exception):
    """What the stand-in store says of a statement the library's templates do not make."""


class QueryResult:
    def __init__(self, rows, columns):
        self.result_set = [tuple(r) for r in rows]
        self.column_names = tuple(columns)


class FakeClickHouse:
    """Records every statement. A statement the library's templates do not make is refused; one
    they make is answered from a list of (needle -> rows | error), or holds no rows, as an empty
    store would. Queries are answered as rows (`query`) or as Native bytes (`raw_query`)."""

    protocol_version = 54337  # as a client of a current server: Native blocks carry their block info

    def __init__(self):
        self.queries: list[str] = []
        self.commands: list[str] = []
        self.native: list[str] = []  # the queries answered as Native bytes
        self.answers: list[Answer] = []
        self.closed = 0

    def answer(self, needle: str, rows=(), columns=(), types=None, error: BaseException | None = None) -> None:
        self.answers.insert(0, Answer(needle, list(rows), list(columns), types, error))

    def _answer(self, text) -> Answer:
        if not isinstance(text, str) or template_of(text) is None:
            raise UnknownStatement(f"not a statement of the library: {text!r}")
        found = next((a for a in self.answers if a.needle in text), None) or Answer("")
        if found.error:
            raise found.error
        return found

    def query(self, text):
        self.queries.append(text)
        found = self._answer(text)
        return QueryResult(found.rows, found.columns)

    def raw_query(self, text, fmt=None, settings=None):
        self.queries.append(text)
        if fmt != "Native":
            raise UnknownStatement(f"the stand-in store writes Native only, not {fmt!r}")
        found = self._answer(text)
        self.native.append(text)
        revision = (settings or {}).get("client_protocol_version", 0)
        return native_result(found.columns, found.rows, found.types, block_info=revision >= BLOCK_INFO_REVISION)

    def command(self, text):
        self.commands.append(text)
        self._answer(text)

    def close(self):
        self.closed += 1


class FakeRedis:
    """The few commands the library uses, on plain dictionaries."""

    def __init__(self, host: str, password: str | None = None, **options):
        self.host, self.password, self.options = host, password, options
        self.ping_answer: Any = True
        self.error: BaseException | None = None  # raised by every command when set
        self.strings: dict[str, str] = {}
        self.lists: dict[str, list[str]] = {}
        self.hashes: dict[str, dict[str, str]] = {}
        self.locks: dict[str, FakeLock] = {}

    def _check(self):
        if self.error is not None:
            raise self.error

    def ping(self):
        self._check()
        return self.ping_answer

    def get(self, key):
        self._check()
        return self.strings.get(key)

    def lrange(self, key, start, end):
        self._check()
        items = self.lists.get(key, [])
        return items[start:] if end == -1 else items[start:end + 1]

    def hgetall(self, key):
        self._check()
        return dict(self.hashes.get(key, {}))

    def hkeys(self, key):
        self._check()
        return list(self.hashes.get(key, {}))

    def hget(self, key, name):
        self._check()
        return self.hashes.get(key, {}).get(name)

    def hset(self, key, name=None, value=None, mapping=None):
        self._check()
        h = self.hashes.setdefault(key, {})
        added = 0
        for k, v in ({name: value} if mapping is None else mapping).items():
            added += k not in h
            h[k] = str(v)
        return added

    def hdel(self, key, *names):
        self._check()
        h = self.hashes.get(key, {})
        return sum(h.pop(n, None) is not None for n in names)

    def lock(self, name, timeout=None, blocking_timeout=None, thread_local=True):
        return FakeLock(self, name)

    def pipeline(self, transaction=True):
        return FakePipeline(self)


class FakePipeline:
    """Commands queued on a FakeRedis and run together by execute()."""

    def __init__(self, cache: FakeRedis):
        self.cache, self.queued = cache, []

    def __getattr__(self, name):
        method = getattr(self.cache, name)
        return lambda *args, **kwargs: self.queued.append((method, args, kwargs)) or self

    def execute(self):
        self.cache._check()
        done = [method(*args, **kwargs) for method, args, kwargs in self.queued]
        self.queued = []
        return done


class FakeLock:
    """redis-py's Lock on a FakeRedis: a name held by one lock until released, never waited for."""

    def __init__(self, cache: FakeRedis, name: str):
        self.cache, self.name = cache, name

    def owned(self):
        self.cache._check()
        return self.cache.locks.get(self.name) is self

    def acquire(self):
        self.cache._check()
        if self.name in self.cache.locks:
            return False
        self.cache.locks[self.name] = self
        return True

    def reacquire(self):
        self.cache._check()
        return True

    def release(self):
        self.cache._check()
        if self.cache.locks.get(self.name) is self:
            del self.cache.locks[self.name]


class FakeStores:
    """What the `fake_stores` fixture substitutes, and what the calls left behind."""

    def __init__(self, real_redis_module):
        self.clickhouse = FakeClickHouse()
        self.clickhouse_error: BaseException | None = None  # raised by get_client when set
        self.client_logins: list[dict] = []
        self.caches: dict[str, FakeRedis] = {}
        self.platform_open = True
        self.snapshot_calls: list[tuple] = []
        self.snapshot: Callable[..., dict] = lambda *args: {"登录成功": True, "data": []}
        self._real_redis = real_redis_module

    # --- the account register, so construction succeeds or fails on purpose
    def register(self, account_id: str, key: str, valid: bool = True, copy_account: str | None = None):
        self.clickhouse.answer("from factors.t_account_info where", rows=[[0]], columns=["n"])
        self.clickhouse.answer(f"account_id = '{account_id}' and acquire_info_key = '{key}'",
                               rows=[[1 if valid else 0]], columns=["n"])
        if copy_account:
            self.clickhouse.answer("from factors.t_assetacc_match", rows=[[copy_account]],
                                   columns=["copy_account_id"])

    def cache(self, host: str) -> FakeRedis:
        return self.caches.setdefault(host, FakeRedis(host))

    # --- module substitutes
    def clickhouse_module(self):
        def get_client(**kwargs):
            self.client_logins.append(kwargs)
            if self.clickhouse_error is not None:
                raise self.clickhouse_error
            return self.clickhouse
        return types.SimpleNamespace(get_client=get_client)

    def redis_module(self):
        def make(host=None, password=None, **options):
            cache = self.cache(host)
            cache.password, cache.options = password, options
            return cache
        module = types.SimpleNamespace(**{k: getattr(self._real_redis, k) for k in dir(self._real_redis)
                                          if not k.startswith("__")})
        module.Redis = make
        return module

    def socket_module(self, real_socket):
        def create_connection(address, timeout=None):
            if not self.platform_open:
                raise ConnectionRefusedError(111, "Connection refused")
            return types.SimpleNamespace(close=lambda: None)
        module = types.SimpleNamespace(**{k: getattr(real_socket, k) for k in dir(real_socket)
                                          if not k.startswith("__")})
        module.create_connection = create_connection
        return module

    def snapshot_function(self):
        def query_trader_all_info(*args):
            self.snapshot_calls.append(args)
            return self.snapshot(*args)
        return query_trader_all_info
