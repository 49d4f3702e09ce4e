"""python -m services.stack up | down | status | reload"""
from __future__ import annotations

import argparse
import sys
import time

from . import lifecycle, load, status


def _up(args) -> int:
    started = time.monotonic()
    try:
        states = lifecycle.up()
    except lifecycle.StackError as err:
        print(f"stack up failed: {err}", file=sys.stderr)
        return 1
    for st in states:
        print(st.line())
    if not args.no_data:
        load.load_all()
        print("demo data loaded (schema recreated, tables and caches reset)")
    else:
        missing = status.missing_demo_data()
        if missing:
            print(f"demo data missing in: {', '.join(missing)}")
            print("load it with: python -m services.stack reload (recreates the schema and the demo desk)")
    print(f"stack ready in {time.monotonic() - started:.1f} s")
    return 0


def _down(_args) -> int:
    for line in lifecycle.down():
        print(line)
    return 0


def _status(_args) -> int:
    reports = status.report()
    for r in reports:
        print(r.line())
    # The simulator is written elsewhere; only the stores decide the exit status.
    return 0 if all(r.ok for r in reports if r.name != "platform") else 1


def _reload(_args) -> int:
    load.load_all()
    print("demo data reloaded")
    return 0


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m services.stack", description="The desk's local services")
    sub = parser.add_subparsers(dest="command", required=True)
    up = sub.add_parser("up", help="start (or reuse) every service, then load schema and demo data")
    up.add_argument("--no-data", action="store_true", help="leave the stores' data as it is")
    up.set_defaults(func=_up)
    sub.add_parser("down", help="stop the services this stack started").set_defaults(func=_down)
    sub.add_parser("status", help="show what each service answers").set_defaults(func=_status)
    sub.add_parser("reload", help="reset schema and demo data on the running services").set_defaults(func=_reload)
    args = parser.parse_args(argv)
    return args.func(args)


if __name__ == "__main__":
    sys.exit(main())
