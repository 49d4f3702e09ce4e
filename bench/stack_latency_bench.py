"""Round trip of the local store: 100 `SELECT 1` through clickhouse-connect on one client, the
median and the slowest decile. An answer that waited for the client's delayed ACK would show as
about 40 ms; side by side, the same through the client's raw_query, which skips the result
parsing.

    python bench/stack_latency_bench.py [--queries 100]
"""
import argparse
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

from services.stack import clients, lifecycle  # noqa: E402
from timing import timings  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--queries", type=int, default=100)
    args = parser.parse_args()
    lifecycle.up()
    ch = clients.clickhouse()
    try:
        assert ch.query("SELECT 1").result_set == [(1,)] and ch.raw_query("SELECT 1").strip() == b"1"
        for name, call in (("query", lambda: ch.query("SELECT 1")), ("raw_query", lambda: ch.raw_query("SELECT 1"))):
            times = sorted(timings(call, args.queries))
            print(f"{args.queries} x SELECT 1 through {name:<9}: median {statistics.median(times) * 1e3:6.2f} ms, "
                  f"90th percentile {times[int(len(times) * 0.9)] * 1e3:6.2f} ms")
    finally:
        ch.close()


if __name__ == "__main__":
    main()
