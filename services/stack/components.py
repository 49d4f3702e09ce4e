"""The services of the local stack: how each starts, answers and is recognised."""
from __future__ import annotations

import sys
from dataclasses import dataclass
from typing import Callable

from services import endpoints as ep
from services.endpoints import REPO_ROOT

from . import clients, mariadb, paths, procs

PLATFORM_DIR = REPO_ROOT / "services" / "platform_sim"
PLATFORM_DATA = "services/platform_sim/demo_accounts.json"


@dataclass
class Component:
    name: str
    label: str
    host: str
    port: int
    argv: Callable[[], list[str]]
    answers: Callable[[], bool]  # the service answers with the desk's credentials
    marker: str  # text in the command line of our own process
    ready_after_start: Callable[[], bool] | None = None  # defaults to answers
    prepare: Callable[[], None] = lambda: None
    after_start: Callable[[], None] = lambda: None  # runs only on a process this stack started
    unavailable: Callable[[], str | None] = lambda: None
    start_timeout: float = 30.0

    @property
    def address(self) -> str:
        return f"{self.host}:{self.port}"


def _redis_argv(endpoint: ep.RedisEndpoint) -> Callable[[], list[str]]:
    def argv() -> list[str]:
        workdir = paths.REDIS_DIR / endpoint.name
        workdir.mkdir(parents=True, exist_ok=True)
        return [
            "redis-server",
            "--bind", endpoint.host,
            "--port", str(endpoint.port),
            "--requirepass", endpoint.password,
            # Snapshots in its own folder, also on a stop, as a cache with persistence keeps
            # its data: `up --no-data` after a restart finds the entries it had.
            "--save", "3600 1 300 100 60 10000",
            "--dbfilename", "dump.rdb",
            "--appendonly", "no",
            "--daemonize", "no",
            "--dir", str(workdir),
            "--logfile", "",
        ]
    return argv


def _platform_answers() -> bool:
    # The simulator speaks the trader library's protocol; being ours is told by its process.
    if not procs.port_open(ep.RISK_PLATFORM_HOST, ep.RISK_PLATFORM_PORT):
        return False
    return any("services.platform_sim" in procs.cmdline(pid)
               for pid in procs.listener_pids(ep.RISK_PLATFORM_HOST, ep.RISK_PLATFORM_PORT))


def _platform_unavailable() -> str | None:
    if not (PLATFORM_DIR / "__main__.py").is_file():
        return "services/platform_sim is not in this tree"
    return None


def components() -> list[Component]:
    items = [
        Component(
            name="clickhouse",
            label="ClickHouse store",
            host=ep.CENTRAL_HOST,
            port=ep.CLICKHOUSE_PORT,
            argv=lambda: [sys.executable, "-m", "services.clickhouse_http", "--host", ep.CENTRAL_HOST,
                          "--port", str(ep.CLICKHOUSE_PORT), "--data-dir", str(paths.CLICKHOUSE_DIR)],
            answers=clients.clickhouse_answers,
            marker="services.clickhouse_http",
        ),
        Component(
            name="mariadb",
            label="MySQL store (MariaDB)",
            host=ep.CENTRAL_HOST,
            port=ep.MYSQL_PORT,
            argv=mariadb.argv,
            answers=clients.mysql_answers,
            marker="mariadbd",
            ready_after_start=mariadb.root_answers,
            prepare=mariadb.prepare,
            after_start=mariadb.provision,
            start_timeout=60.0,
        ),
    ]
    for endpoint in ep.REDIS_ENDPOINTS:
        items.append(
            Component(
                name=f"redis-{endpoint.name}",
                label=f"Redis cache ({endpoint.name})",
                host=endpoint.host,
                port=endpoint.port,
                argv=_redis_argv(endpoint),
                answers=lambda n=endpoint.name: clients.redis_answers(n),
                marker="redis-server",
            )
        )
    items.append(
        Component(
            name="platform",
            label="risk platform simulator",
            host=ep.RISK_PLATFORM_HOST,
            port=ep.RISK_PLATFORM_PORT,
            argv=lambda: [sys.executable, "-m", "services.platform_sim", "--host", ep.RISK_PLATFORM_HOST,
                          "--port", str(ep.RISK_PLATFORM_PORT), "--data", PLATFORM_DATA],
            answers=_platform_answers,
            marker="services.platform_sim",
            unavailable=_platform_unavailable,
        )
    )
    return items
