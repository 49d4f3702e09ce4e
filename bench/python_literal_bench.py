"""Cache-text reader: the native reader against eval and ast.literal_eval, on deal-record
texts from one record (what one cache entry holds) to many; the per-character cost should
stay flat (linear reading). literal_eval cannot read datetime calls, so it gets the same
records with their times as texts.

    python bench/python_literal_bench.py [--runs K]
"""
import argparse
import ast
import datetime as dt
import statistics

from pelmora import Pelmora
from timing import timings


def deal_text(n, times_as_text=False):
    deals = [{"trade_id": f"T{i:08d}", "instrument_id": "rb2405", "direction": "买", "price": 3650.5 + i % 7,
              "volume": i % 13 - 6, "commission": 1.2345678901 * i, "flag": i % 2 == 0, "note": None,
              "trade_time": stamp(i, times_as_text), "tags": ("day", 'it\'s')}
             for i in range(n)]
    return repr(deals)


def stamp(i, as_text):
    value = dt.datetime(2024, 1, 5, 9, 30, i % 60, 1000 * (i % 1000))
    return str(value) if as_text else value


def best(fn, text, runs):
    times = timings(lambda: fn(text), runs)
    return min(times), statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    namespace = vars(Pelmora)
    readers = [
        ("native reader", Pelmora._read_python_literal, False),
        ("eval", lambda t: eval(t, namespace), False),
        ("native reader", Pelmora._read_python_literal, True),
        ("ast.literal_eval", ast.literal_eval, True),
    ]
    print(f"{'records':>8} {'times':>9} {'chars':>10} {'reader':>17} {'best ms':>9} {'median ms':>10} {'ns/char':>8}")
    for n in (1, 100, 1_000, 10_000):
        for name, fn, as_text in readers:
            text = deal_text(n, as_text)
            assert fn(text) == eval(text, namespace)
            low, mid = best(fn, text, args.runs)
            kind = "texts" if as_text else "datetimes"
            print(f"{n:>8} {kind:>9} {len(text):>10} {name:>17} {low * 1e3:>9.2f} {mid * 1e3:>10.2f} "
                  f"{low * 1e9 / len(text):>8.1f}")


if __name__ == "__main__":
    main()
