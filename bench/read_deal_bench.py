"""End-to-end `fun_read_deal` over 200 000 stored deal rows on the local store, with where
the time goes: the store and transport (clickhouse-connect's `query`), the row encoding,
and the whole read. Brings the local stack up (or reuses it); removes its rows afterwards.

    python bench/read_deal_bench.py [--rows 200000] [--runs 5]
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

BENCH_ACCOUNT = "8BENCH01"
DEAL_COLUMNS = ("day, trading_day, trading_time, instrument_id, entrust_direction, price, volume, "
                "commission, exchange_id, product, vendor, product_code, entrust_serial_no, account_id, trade_id")


def fill(ch, rows):
    ch.command(f"ALTER TABLE trade.is_cdealdetail DELETE WHERE account_id = '{BENCH_ACCOUNT}'")
    ch.command(
        f"INSERT INTO trade.is_cdealdetail ({DEAL_COLUMNS}) "
        "SELECT toDate('2024-01-02') + intDiv(number, 8000), toDate('2024-01-02') + intDiv(number, 8000), "
        "formatDateTime(toDateTime('2024-01-02 09:00:00') + number % 20000, '%H:%i:%S'), "
        "concat('rb25', toString(number % 12 + 1)), if(number % 2 = 0, 'buy', 'sell'), "
        "3500 + (number % 997) / 4, 1 + number % 7, round((number % 313) * 0.0137, 2), 'SHFE', "
        "'稳健CTA一号', 'is', 'P001', toString(10000000 + number), "
        f"'{BENCH_ACCOUNT}', concat('T', toString(number)) FROM numbers({rows})")


def median_time(fn, runs):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        fn()
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=200_000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    lifecycle.up()
    ch = clients.clickhouse()
    try:
        fill(ch, args.rows)
        account = Pelmora("80050021", "k-80050021", "bench")
        account.account_id = BENCH_ACCOUNT
        start, end = "20240101", "20241231"
        got = account.fun_read_deal(start, end)
        assert got["code"] == 0 and len(got["data"]) == args.rows, (got["code"], got.get("msg"))

        sql = (f"select * from (select {DEAL_COLUMNS} from trade.is_cdealdetail where trading_day >= "
               f"'2024-01-01' and trading_day <= '2024-12-31' and account_id = '{BENCH_ACCOUNT}' UNION ALL "
               f"select {DEAL_COLUMNS} from trade.idata_cdealdetail where trading_day >= '2024-01-01' and "
               f"trading_day <= '2024-12-31' and account_id = '{BENCH_ACCOUNT}' ) ")
        stages = {"query": [], "rows": [], "encode": []}
        for _ in range(args.runs):
            t0 = time.perf_counter()
            found = account.client.query(sql)
            t1 = time.perf_counter()
            result_set = found.result_set
            t2 = time.perf_counter()
            P._history_records(result_set, found.column_names, ("trading_day", "day"))
            t3 = time.perf_counter()
            stages["query"].append(t1 - t0)
            stages["rows"].append(t2 - t1)
            stages["encode"].append(t3 - t2)
        total = median_time(lambda: account.fun_read_deal(start, end), args.runs)
        query, rows, encode = (statistics.median(stages[k]) for k in ("query", "rows", "encode"))
        print(f"fun_read_deal over {args.rows} rows x 15 columns (median of {args.runs})")
        print(f"  whole read                                  {total * 1000:7.1f} ms")
        print(f"  store, transport, column parse (query)      {query * 1000:7.1f} ms  ({query / total:.0%})")
        print(f"  rows from columns (result_set)              {rows * 1000:7.1f} ms  ({rows / total:.0%})")
        print(f"  row dictionaries (C++ encoding)             {encode * 1000:7.1f} ms  ({encode / total:.0%})")
    finally:
        ch.command(f"ALTER TABLE trade.is_cdealdetail DELETE WHERE account_id = '{BENCH_ACCOUNT}'")
        ch.close()


if __name__ == "__main__":
    main()
