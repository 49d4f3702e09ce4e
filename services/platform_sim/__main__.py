"""python -m services.platform_sim --host 127.0.0.1 --port 10911 --data FILE"""

import argparse
import signal
import sys
import threading

from .server import PlatformSimulator


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="python -m services.platform_sim",
                                     description="Simulated risk-control platform")
    parser.add_argument("--host", default="127.0.0.1", help="loopback address to listen on")
    parser.add_argument("--port", type=int, default=10911, help="port (0: any free port)")
    parser.add_argument("--data", required=True, help="account data file (JSON)")
    parser.add_argument("--quiet", action="store_true", help="do not print logins")
    args = parser.parse_args(argv)

    log = None if args.quiet else (lambda text: print(text, flush=True))
    try:
        sim = PlatformSimulator(args.data, args.host, args.port, log=log)
    except (OSError, ValueError) as exc:
        print(f"platform_sim: {exc}", file=sys.stderr)
        return 1

    done = threading.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, lambda *_: done.set())
    sim.start()
    print(f"platform simulator listening on {sim.host}:{sim.port}", flush=True)
    try:
        while not done.wait(1.0):
            pass
    finally:
        sim.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
