"""History rows: the native conversion against the pandas pipeline it replaces
and against bare dict building, on a deal-table-like result.

    python bench/records_bench.py [--rows N] [--runs K]
"""
import argparse
import datetime as dt
import gc
import json
import random
import statistics
import time
import warnings

import pandas as pd

from pelmora import Pelmora

COLUMNS = ["day", "trading_day", "trading_time", "instrument_id", "entrust_direction", "price", "volume",
           "commission", "exchange_id", "product", "vendor", "product_code", "entrust_serial_no", "account_id",
           "trade_id"]
TEXT_COLUMNS = ["trading_day", "day"]


def deal_rows(n, seed=7):
    """Two dates, a date-time (milliseconds), texts (some Chinese), a price with
    one decimal, an int volume with some None (so a float column), a
    many-digit commission with some None."""
    rnd = random.Random(seed)
    days = [dt.date(2024, 1, 2) + dt.timedelta(days=i) for i in range(60)]
    instruments = ["rb2405", "IF2403", "cu2404", "au2406", "m2405", "TA405"]
    rows = []
    for i in range(n):
        day = days[i * len(days) // n]
        trading_day = day if rnd.random() < 0.8 else day + dt.timedelta(days=1)
        stamp = dt.datetime(day.year, day.month, day.day, 9) + dt.timedelta(
            seconds=rnd.randrange(6 * 3600), milliseconds=rnd.randrange(1000))
        instrument = rnd.choice(instruments)
        rows.append((
            day, trading_day, stamp, instrument, rnd.choice(["买", "卖"]),
            round(rnd.uniform(1000, 9000), 1),
            rnd.randrange(1, 50) if rnd.random() > 0.05 else None,
            rnd.uniform(0, 30) if rnd.random() > 0.05 else None,
            rnd.choice(["SHFE", "CFFEX", "DCE", "CZCE"]), instrument[:2], "ctp", instrument[:2].upper(),
            f"{rnd.randrange(10**8):08d}", "80050021", f"T{i:09d}",
        ))
    return rows


def pandas_pipeline(rows, columns, text_columns):
    df = pd.DataFrame(rows, columns=columns)
    for c in text_columns:
        df[c] = df[c].apply(str)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        return json.loads(df.to_json(orient="records"))


def native(rows, columns, text_columns):
    return Pelmora._history_records(rows, columns, text_columns)


def floor(rows, columns, text_columns):
    return [dict(zip(columns, row)) for row in rows]


def timed(fn, *args):
    gc.collect()
    start = time.perf_counter()
    out = fn(*args)
    elapsed = time.perf_counter() - start
    del out  # freeing the rows is not part of the conversion
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=200_000)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()

    rows = deal_rows(args.rows)
    if native(rows[:2000], COLUMNS, TEXT_COLUMNS) != pandas_pipeline(rows[:2000], COLUMNS, TEXT_COLUMNS):
        raise SystemExit("native rows differ from the pandas pipeline on the benchmark data")

    # Interleaved runs, so that load from other processes falls on all three alike.
    conversions = {"native": native, "pandas pipeline": pandas_pipeline, "dict(zip()) floor": floor}
    times = {name: [] for name in conversions}
    timed(native, rows, COLUMNS, TEXT_COLUMNS)  # warm-up: grows the heap once
    for run in range(args.runs):
        for name, fn in conversions.items():
            if fn is pandas_pipeline and run % 2:
                continue  # the slow one gets half the runs
            times[name].append(timed(fn, rows, COLUMNS, TEXT_COLUMNS))
    results = {name: statistics.median(t) for name, t in times.items()}
    print(f"{args.rows} rows x {len(COLUMNS)} columns; median (min) of {args.runs} runs, pandas {len(times['pandas pipeline'])}")
    print(f"{'conversion':<20}{'median ms':>12}{'min ms':>10}")
    for name, seconds in results.items():
        print(f"{name:<20}{seconds * 1000:>12.1f}{min(times[name]) * 1000:>10.1f}")
    speedup = results["pandas pipeline"] / results["native"]
    vs_floor = results["native"] / results["dict(zip()) floor"]
    print(f"pandas / native: {speedup:.1f}x (goal >= 10x)")
    print(f"native / floor:  {vs_floor:.2f}x (goal <= 2x)")


if __name__ == "__main__":
    main()
