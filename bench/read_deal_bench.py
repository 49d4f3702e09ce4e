"""End-to-end `fun_read_deal` over 200 000 stored deal rows on the local store, beside its
parts and the pipeline the reads are defined by:

- whole read: `fun_read_deal`, Native bytes decoded into the records;
- fetch: the client's `raw_query(..., fmt="Native")` (store, transport, decompression);
- decode: the Native bytes into the records (`_native_records`);
- query path: `query`, `result_set` and the records built from the rows (the fallback);
- pipeline: `query`, `result_set`, DataFrame, text columns, `to_json`, `json.loads`.

Also the peak of traced Python memory of the whole read and of the query path. Brings the
local stack up (or reuses it); removes its rows afterwards. The machine may be shared: the
load average is printed with the medians.

    python bench/read_deal_bench.py [--rows 200000] [--runs 7]
"""
import argparse
import contextlib
import gc
import json
import os
import sys
import tracemalloc
import warnings
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

import pandas as pd  # noqa: E402

from services.stack import clients, lifecycle  # noqa: E402

import pelmora.Pelmora as P  # noqa: E402
from pelmora.Pelmora import Pelmora  # noqa: E402
from timing import median_ms  # noqa: E402

BENCH_ACCOUNT = "8BENCH01"
DEAL_COLUMNS = ("day, trading_day, trading_time, instrument_id, entrust_direction, price, volume, "
                "commission, exchange_id, product, vendor, product_code, entrust_serial_no, account_id, trade_id")


def fill(ch, rows):
    clean(ch)
    ch.command(
        f"INSERT INTO trade.is_cdealdetail ({DEAL_COLUMNS}) "
        "SELECT toDate('2024-01-02') + intDiv(number, 8000), toDate('2024-01-02') + intDiv(number, 8000), "
        "formatDateTime(toDateTime('2024-01-02 09:00:00') + number % 20000, '%H:%i:%S'), "
        "concat('rb25', toString(number % 12 + 1)), if(number % 2 = 0, 'buy', 'sell'), "
        "3500 + (number % 997) / 4, 1 + number % 7, round((number % 313) * 0.0137, 2), 'SHFE', "
        "'稳健CTA一号', 'is', 'P001', toString(10000000 + number), "
        f"'{BENCH_ACCOUNT}', concat('T', toString(number)) FROM numbers({rows})")


TEXT_COLUMNS = ["trading_day", "day"]
START, END = "20240101", "20241231"


def bench_account():
    account = Pelmora("80050021", "k-80050021", "bench")
    account.account_id = BENCH_ACCOUNT
    return account


def deal_statement():
    """The statement fun_read_deal sends for the bench account over START..END."""
    return (f"select * from (select {DEAL_COLUMNS} from trade.is_cdealdetail where trading_day >= "
            f"'2024-01-01' and trading_day <= '2024-12-31' and account_id = '{BENCH_ACCOUNT}' UNION ALL "
            f"select {DEAL_COLUMNS} from trade.idata_cdealdetail where trading_day >= '2024-01-01' and "
            f"trading_day <= '2024-12-31' and account_id = '{BENCH_ACCOUNT}' ) ")


def clean(ch):
    ch.command(f"ALTER TABLE trade.is_cdealdetail DELETE WHERE account_id = '{BENCH_ACCOUNT}'",
               settings={"mutations_sync": 2})


def peak_mb(fn):
    gc.collect()
    tracemalloc.start()
    try:
        fn()
        return tracemalloc.get_traced_memory()[1] / 1e6
    finally:
        tracemalloc.stop()


def pipeline(client, sql):
    found = client.query(sql)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        df = pd.DataFrame(found.result_set, columns=found.column_names)
        for c in TEXT_COLUMNS:
            df[c] = df[c].apply(str)
        return json.loads(df.to_json(orient="records", date_format="epoch", double_precision=10))


def query_path(client, sql):
    found = client.query(sql)
    return P._history_records(found.result_set, found.column_names, TEXT_COLUMNS)


@contextlib.contextmanager
def stored_deals():
    """(the command line's arguments, the bench account) with --rows deals stored meanwhile."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=200_000)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    lifecycle.up()
    ch = clients.clickhouse()
    try:
        fill(ch, args.rows)
        yield args, bench_account()
    finally:
        clean(ch)
        ch.close()


def measured(title, runs, timings, base):
    """Runs each timing (label -> callable) for its median, then prints them all as multiples of `base`."""
    load_before = os.getloadavg()[0]
    figures = {label: median_ms(fn, runs, collect=True) for label, fn in timings.items()}
    load_after = os.getloadavg()[0]
    print(f"{title}, median of {runs} (load average {load_before:.2f} -> {load_after:.2f} on {os.cpu_count()} cores)")
    for label, ms in figures.items():
        print(f"  {label:<45} {ms:8.1f} ms  {ms / figures[base]:6.2f}x")
    return figures


def main():
    with stored_deals() as (args, account):
        start, end = START, END
        got = account.fun_read_deal(start, end)
        assert got["code"] == 0 and len(got["data"]) == args.rows, (got["code"], got.get("msg"), len(got["data"]))

        sql = deal_statement()
        client = account.client
        raw = client.raw_query(sql, fmt="Native")
        assert P._native_records(raw, TEXT_COLUMNS) == got["data"] == query_path(client, sql)
        figures = measured(f"fun_read_deal over {args.rows} rows x 15 columns", args.runs, {
            "whole read (fun_read_deal)": lambda: account.fun_read_deal(start, end),
            "  fetch (raw_query, Native)": lambda: client.raw_query(sql, fmt="Native"),
            "  decode (Native -> records)": lambda: P._native_records(raw, TEXT_COLUMNS),
            "query path (query, result_set, records)": lambda: query_path(client, sql),
            "described pipeline (pandas, to_json, loads)": lambda: pipeline(client, sql),
        }, "whole read (fun_read_deal)")
        whole = figures["whole read (fun_read_deal)"]
        print(f"  pipeline / whole read: {figures['described pipeline (pandas, to_json, loads)'] / whole:.1f}x faster")
        print(f"  peak traced memory: whole read {peak_mb(lambda: account.fun_read_deal(start, end)):.0f} MB, "
              f"query path {peak_mb(lambda: query_path(client, sql)):.0f} MB")


if __name__ == "__main__":
    main()
