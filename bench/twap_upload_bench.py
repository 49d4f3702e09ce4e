"""`fun_update_TWAP_info` of 500 commodities on the local stack, side by side with the same rows
sent as one INSERT per row (as the upload sent them before), both read back equal.

    python bench/twap_upload_bench.py [--rows 500] [--runs 5]
"""
import argparse
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

from services.stack import clients, lifecycle  # noqa: E402

import pelmora.Pelmora as P  # noqa: E402
from pelmora.Pelmora import Pelmora  # noqa: E402

ACCOUNT, KEY = "80050021", "k-80050021"
ALT_ACCOUNT = "80059998"  # no demo rows
COLUMNS = '"commodity", "if_twap", "time_gap", "volume", "account_id", "update_time"'


def settings(rows, run):
    return [{"commodity": f"b{n:04d}", "if_twap": n % 2, "time_gap": 5 + (n + run) % 60, "volume": 1 + n % 7}
            for n in range(rows)]


def stored(ch, account):
    return ch.query(f"select commodity, if_twap, time_gap, volume, toString(update_time) from factors.TWAP_config "
                    f"where account_id = '{account}' and commodity like 'B%' order by update_time, commodity"
                    ).result_set


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=500)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    lifecycle.up()
    ch = clients.clickhouse()
    try:
        account = Pelmora(ACCOUNT, KEY, "bench")
        one, per_row = [], []
        for run in range(args.runs + 1):  # the first run warms up
            for who in (ACCOUNT, ALT_ACCOUNT):
                ch.command(f"ALTER TABLE factors.TWAP_config DELETE WHERE account_id = '{who}' and commodity like 'B%'")
            started = time.perf_counter()
            got = account.fun_update_TWAP_info(settings(args.rows, run))
            ended = time.perf_counter()
            assert got["code"] == 0, got
            mine = stored(ch, ACCOUNT)
            started_alt = time.perf_counter()
            for r in mine:
                ch.command(P._insert_text(P._statement("twap_insert_opening"), COLUMNS.split(", "),
                                          [list(r[:4]) + [ALT_ACCOUNT, r[4]]], ");"))
            ended_alt = time.perf_counter()
            assert stored(ch, ALT_ACCOUNT) == mine and len(mine) == args.rows
            if run:
                one.append(ended - started)
                per_row.append(ended_alt - started_alt)
        a, b = statistics.median(one), statistics.median(per_row)
        print(f"fun_update_TWAP_info of {args.rows} commodities (median of {args.runs} runs)")
        print(f"  one INSERT (the upload, end to end) {a * 1e3:9.1f} ms")
        print(f"  one INSERT per row (the rows alone) {b * 1e3:9.1f} ms   {b / a:.0f}x")
    finally:
        for who in (ACCOUNT, ALT_ACCOUNT):
            ch.command(f"ALTER TABLE factors.TWAP_config DELETE WHERE account_id = '{who}' and commodity like 'B%'")
        ch.close()


if __name__ == "__main__":
    main()
