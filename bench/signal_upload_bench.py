"""End-to-end `fun_update_signal` of 500 contracts with `use_redis`, for the demo account whose
copy account is paired, on the local stack; with where the time goes. Each run replaces the
previous one (new positions), as a desk re-uploading its day would. Removes its rows and hash
afterwards.

Phases are cut at the calls the library makes on the object's client and caches (timed
wrappers) and around `fun_replicate_save`:
  checks      from the call to the first hash write: table checks, filter, snapshot, pass-1 JSON
  hash        first to last write of the account's hash (both passes, a pipeline each, the
              clean-up, pass-2 JSON)
  soft-delete the ALTER TABLE ... UPDATE of the account's live rows (a synchronous mutation)
  inserts     from the soft-delete to the replication: the one INSERT of all rows
  replication the whole of fun_replicate_save, split the same way for the copy account
  store       of which the round trip of the INSERT command itself

Side by side, in the same process: the same rows sent as one INSERT per row (as uploads were
sent before), to a day of their own, checked to store the same rows.

    python bench/signal_upload_bench.py [--rows 500] [--runs 3]
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

DAY = "20991231"  # far from any demo day
ALT_DAY = "20991230"
COLUMNS = ("trading_day, contract, position, direction, signal_date, order_typ, trade_time, feature, account_id, "
           "user_id, create_time, update_time, data_source")
ACCOUNT, KEY, COPY = "80050021", "k-80050021", "80050077"


class Timed:
    """Forwards every call to the real object and notes (what, side, start, end)."""

    def __init__(self, real, side, log):
        self.real, self.side, self.log = real, side, log

    def __getattr__(self, name):
        attr = getattr(self.real, name)
        if not callable(attr):
            return attr

        def call(*args, **kwargs):
            started = time.perf_counter()
            try:
                out = attr(*args, **kwargs)
                # a pipeline's commands are the cache's: its execute() is logged the same way
                return Timed(out, self.side, self.log) if name == "pipeline" else out
            finally:
                what = name
                if name == "command":
                    what = "insert" if str(args[0]).startswith("INSERT") else "alter"
                self.log.append((what, self.side, started, time.perf_counter()))
        return call


def signals(rows, run):
    return [{"trading_day": DAY, "contract": f"c{n:04d}", "position": (n + run) % 9,
             "direction": "LS"[n % 2], "signal_date": "20991230",
             "order_typ": ("call_auction", "intraday_trading", "before_close")[n % 3],
             "trade_time": ("D", "N", "")[n % 3], "feature": n % 2} for n in range(rows)]


def phases(log, start, end, replicate):
    """Seconds per phase of one upload, from the call log."""
    def first(what, side):
        return min(s for w, sd, s, _ in log if w in what and sd == side)

    def last(what, side):
        return max(e for w, sd, _, e in log if w in what and sd == side)

    hash_calls = ("pipeline", "execute", "hkeys")
    out = {}
    for side, t0, t_end in (("main", start, replicate[0]), ("copy", replicate[0], replicate[1])):
        h0, h1 = first(hash_calls, side), last(hash_calls, side)
        a0, a1 = first(("alter",), side), last(("alter",), side)
        out[f"{side} checks"] = h0 - t0
        out[f"{side} hash"] = h1 - h0
        out[f"{side} gap"] = a0 - h1
        out[f"{side} soft-delete"] = a1 - a0
        out[f"{side} inserts"] = t_end - a1
        out[f"{side} insert round trips"] = sum(e - s for w, sd, s, e in log if w == "insert" and sd == side)
    out["snapshot and answer"] = end - replicate[1]
    out["replication"] = replicate[1] - replicate[0]
    out["total"] = end - start
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", type=int, default=500)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    lifecycle.up()
    ch = clients.clickhouse()
    central = clients.redis("central")
    try:
        account = Pelmora(ACCOUNT, KEY, "bench")
        assert account.if_copy is True and account.copy_account_id == COPY
        log = []
        account.client = Timed(account.client, "main", log)
        account.redis_conn = Timed(account.redis_conn, "main", log)
        account.copy_redis_conn = Timed(account.copy_redis_conn, "copy", log)
        replicate_real = account.fun_replicate_save
        span = []

        def replicate(**kwargs):
            # the copy's statements go through the same client: mark them as the copy's
            account.client.side = "copy"
            span.append(time.perf_counter())
            try:
                return replicate_real(**kwargs)
            finally:
                span.append(time.perf_counter())
                account.client.side = "main"
        account.fun_replicate_save = replicate

        results = []
        for run in range(args.runs + 1):  # the first run warms up
            rows = signals(args.rows, run)
            log.clear()
            span.clear()
            started = time.perf_counter()
            got = account.fun_update_signal(rows, use_redis=True)
            ended = time.perf_counter()
            assert got["code"] == 0 and got["msg"].startswith(f"输入{args.rows}, 有效{args.rows} "), got
            if run:
                results.append(phases(log, started, ended, span))

        live = ch.query(f"select account_id, count() from factors.t_order_dtl where trading_day = '{DAY}' "
                        "and delete_tag is null group by account_id order by account_id").result_set
        assert live == [(ACCOUNT, args.rows), (COPY, args.rows)], live
        assert len(central.hkeys(DAY)) == 2 * args.rows

        # the alternative: the last run's rows, one INSERT per row, read back equal
        rows = signals(args.rows, args.runs)
        row_at = ch.query(f"select {COLUMNS} from factors.t_order_dtl where trading_day = '{DAY}' and "
                          f"account_id = '{ACCOUNT}' and delete_tag is null order by contract")
        stored = [list(r) for r in row_at.result_set]
        per_row = []
        for _ in range(args.runs):
            ch.command(f"ALTER TABLE factors.t_order_dtl DELETE WHERE trading_day = '{ALT_DAY}'")
            started = time.perf_counter()
            for r in stored:
                ch.command(P._insert_text(P._statement("signal_insert"), row_at.column_names,
                                          [[ALT_DAY] + r[1:]], ");"))
            per_row.append(time.perf_counter() - started)
        again = ch.query(f"select {COLUMNS} from factors.t_order_dtl where trading_day = '{ALT_DAY}' "
                         "order by contract")
        assert [list(r)[1:] for r in again.result_set] == [r[1:] for r in stored]
        assert len(stored) == len(rows)

        median = {k: statistics.median(r[k] for r in results) for k in results[0]}
        total = median["total"]
        print(f"fun_update_signal of {args.rows} contracts, use_redis, copy account paired "
              f"(median of {args.runs} runs)")
        print(f"  total {total * 1e3:9.1f} ms   {total / args.rows * 1e6:8.0f} us per row")
        for key in ("main checks", "main hash", "main gap", "main soft-delete", "main inserts",
                    "main insert round trips", "replication", "copy checks", "copy hash", "copy gap",
                    "copy soft-delete", "copy inserts", "copy insert round trips", "snapshot and answer"):
            indent = "      " if key.startswith("copy") or key.endswith("round trips") else "  "
            print(f"{indent}{key:<24} {median[key] * 1e3:9.1f} ms   {median[key] / args.rows * 1e6:8.0f} us/row"
                  f"   {median[key] / total:6.1%}")
        alt = statistics.median(per_row)
        print(f"  for comparison: the main side's {args.rows} rows as one INSERT per row {alt * 1e3:9.1f} ms, "
              f"{alt / median['main insert round trips']:.0f}x the one INSERT")
    finally:
        for day in (DAY, ALT_DAY):
            ch.command(f"ALTER TABLE factors.t_order_dtl DELETE WHERE trading_day = '{day}'")
        central.delete(DAY)
        ch.close()


if __name__ == "__main__":
    main()
