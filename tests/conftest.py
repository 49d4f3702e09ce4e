"""Fixtures for tests that run against the desk's local services.

The stack (ClickHouse-compatible store, MariaDB, four Redis caches, risk platform simulator)
listens on the addresses the library is built for (endpoints.env). Nothing starts until a
test asks for a fixture below; then `stack` brings every service up once per session
(reusing services that already run, e.g. after `make stack-up`), recreates the schema and
loads the demo data (services/demo). Services the session started are stopped at its end.

Session fixtures
  stack            StackInfo: the state of each service, the demo data, `platform_available`
  demo_data        services.demo.DemoData: the demo rows per table and the Redis entries
  ch_client        clickhouse_connect client as the library's user "pelmora"
  research_client  clickhouse_connect client as the research user "read_factors"

Per-test fixtures
  mysql_conn       PyMySQL connection to database `trade` (user "pelmora"), closed afterwards
  redis_client     factory: redis_client("central" | "prod" | "prod67" | "prod65") -> redis.Redis
                   (decoded replies, database 0, the cache's password)
  platform         (host, port) of the risk platform simulator; skips the test when it is absent
  reset_stores     callable reset_stores(*targets): puts the demo data back in the named targets

Clean state. A test that writes to a store, or needs demo data some other test may have
changed, names what it touches; those targets get the demo data back before and after it:

    @pytest.mark.stack_reset("factors.t_order_dtl", "redis:central")
    def test_upload(...): ...

Targets: a ClickHouse table "database.table"; a MySQL table "mysql:<table>" (database
trade); a Redis cache "redis:<name>" (flushed, then its demo entries written again);
"clickhouse:*", "mysql:*" and "redis:*" for all of a kind.
"""
from __future__ import annotations

import warnings
from dataclasses import dataclass

import pytest

from services import demo
from services import endpoints as ep
from services.stack import clients, lifecycle, load
from tests.fakes import FakeStores

# Importing the library installs a process-wide "ignore" filter, as its users expect;
# the tests want to see warnings, so the filters are put back after the import.
_filters = warnings.filters[:]
try:
    import pelmora.Pelmora  # noqa: F401
except ImportError:  # not built: the stack tests still run
    pass
warnings.filters[:] = _filters


def pytest_collection_modifyitems(items):
    # Every test that reaches the real services carries the "stack" marker, so
    # `-m "not stack"` selects the quick tests (fakes and pure functions).
    for item in items:
        if "stack" in getattr(item, "fixturenames", ()):
            item.add_marker(pytest.mark.stack)


@dataclass
class StackInfo:
    states: dict[str, lifecycle.ComponentState]  # component name -> what `up` found or did
    data: demo.DemoData

    @property
    def platform_available(self) -> bool:
        st = self.states.get("platform")
        return st is not None and st.state != "not available"


@pytest.fixture(scope="session")
def stack() -> StackInfo:
    try:
        states = lifecycle.up()
    except lifecycle.StackError as err:
        pytest.fail(f"local stack did not come up: {err}", pytrace=False)
    load.load_all()
    info = StackInfo({st.component.name: st for st in states}, demo.build())
    yield info
    started = {name for name, st in info.states.items() if st.state == "started"}
    if started:
        lifecycle.down(started)


@pytest.fixture(scope="session")
def demo_data(stack) -> demo.DemoData:
    return stack.data


@pytest.fixture(scope="session")
def ch_client(stack):
    client = clients.clickhouse()
    yield client
    client.close()


@pytest.fixture(scope="session")
def research_client(stack):
    client = clients.clickhouse(ep.RESEARCH_USER, ep.RESEARCH_PASSWORD)
    yield client
    client.close()


@pytest.fixture
def mysql_conn(stack):
    conn = clients.mysql()
    yield conn
    conn.close()


@pytest.fixture
def redis_client(stack):
    opened = []

    def open_cache(name: str = "central"):
        conn = clients.redis(name)
        opened.append(conn)
        return conn

    yield open_cache
    for conn in opened:
        conn.close()


@pytest.fixture
def platform(stack) -> tuple[str, int]:
    if not stack.platform_available:
        pytest.skip(f"risk platform simulator not available: {stack.states['platform'].detail}")
    return ep.RISK_PLATFORM_HOST, ep.RISK_PLATFORM_PORT


@pytest.fixture
def fake_stores(monkeypatch):
    """FakeStores substituted on `pelmora.Pelmora`: the ClickHouse client module, redis, the
    socket module of the platform probe and the live snapshot function."""
    import redis
    import socket
    import pelmora.Pelmora as P

    fakes = FakeStores(redis)
    monkeypatch.setattr(P, "clickhouse_connect", fakes.clickhouse_module())
    monkeypatch.setattr(P, "redis", fakes.redis_module())
    monkeypatch.setattr(P, "socket", fakes.socket_module(socket))
    monkeypatch.setattr(P, "query_trader_all_info", fakes.snapshot_function())
    return fakes


def reset_targets(targets, data: demo.DemoData) -> None:
    """Puts the demo data back into the named targets (see the module's doc for their form)."""
    ch_tables: list[str] = []
    mysql_tables: list[str] = []
    caches: list[str] = []
    for target in targets:
        kind, _, name = target.partition(":") if ":" in target else ("clickhouse", "", target)
        if kind == "clickhouse":
            ch_tables += list(data.clickhouse) if name == "*" else [name]
        elif kind == "mysql":
            name = name.removeprefix(f"{ep.MYSQL_DATABASE}.")
            mysql_tables += list(data.mysql) if name == "*" else [name]
        elif kind == "redis":
            caches += list(data.redis) if name == "*" else [name]
        else:
            raise ValueError(f"unknown reset target {target!r}")
    load.reload(dict.fromkeys(ch_tables), dict.fromkeys(mysql_tables), dict.fromkeys(caches))


@pytest.fixture
def reset_stores(stack):
    return lambda *targets: reset_targets(targets, stack.data)


@pytest.fixture(autouse=True)
def _stack_reset_marker(request):
    targets = [t for marker in request.node.iter_markers("stack_reset") for t in marker.args]
    if not targets:
        yield
        return
    info = request.getfixturevalue("stack")
    reset_targets(targets, info.data)
    yield
    reset_targets(targets, info.data)
