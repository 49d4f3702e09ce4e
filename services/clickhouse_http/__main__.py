"""python -m services.clickhouse_http --host 127.0.0.1 --port 23875 --data-dir .stack/clickhouse"""
from __future__ import annotations

import argparse
import signal
import sys

from services import endpoints

from .auth import Users
from .engine import Engine
from .server import ClickHouseHTTPServer


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="ClickHouse-compatible HTTP store on chdb")
    parser.add_argument("--host", default=endpoints.CENTRAL_HOST)
    parser.add_argument("--port", type=int, default=endpoints.CLICKHOUSE_PORT)
    parser.add_argument("--data-dir", required=True)
    args = parser.parse_args(argv)

    engine = Engine(args.data_dir)
    server = ClickHouseHTTPServer((args.host, args.port), engine, Users(endpoints.CLICKHOUSE_USERS))
    # SIGTERM (from `stack down`) leaves the loop like Ctrl-C, so the engine closes its files.
    signal.signal(signal.SIGTERM, _raise_interrupt)
    print(f"clickhouse_http {engine.version} listening on {args.host}:{args.port}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        engine.close()
    return 0


def _raise_interrupt(*_args) -> None:
    raise KeyboardInterrupt


if __name__ == "__main__":
    sys.exit(main())
