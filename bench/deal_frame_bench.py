"""`fun_read_deal(..., as_frame=True)` over 200 000 stored deal rows on the local store, side by
side in one process with:

- the read and `pd.DataFrame(result["data"])`, what a notebook does without the option;
- clickhouse-connect's own `query_df` on the same statement (the account's open client);
- the Native bytes fetch alone (`raw_query(..., fmt="Native")`), the floor of any read.

The tables are checked equal first (the option's against the DataFrame of the records; `query_df`
by its shape, since it types days and texts its own way). Brings the local stack up (or reuses
it); removes its rows afterwards. The load average is printed with the medians.

    python bench/deal_frame_bench.py [--rows 200000] [--runs 7]
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

import pandas as pd  # noqa: E402
from read_deal_bench import END, START, deal_statement, measured, stored_deals  # noqa: E402


def main():
    with stored_deals() as (args, account):
        client = account.client
        sql = deal_statement()

        framed = account.fun_read_deal(START, END, as_frame=True)
        plain = account.fun_read_deal(START, END)
        assert framed["code"] == plain["code"] == 0 and len(framed["data"]) == args.rows
        # The two reads may get the union's halves in either order.
        by_trade = ["trade_id"]
        pd.testing.assert_frame_equal(framed["data"].sort_values(by_trade).reset_index(drop=True),
                                      pd.DataFrame(plain["data"]).sort_values(by_trade).reset_index(drop=True))
        reference = client.query_df(sql)
        assert reference.shape == framed["data"].shape and list(reference.columns) == list(framed["data"].columns)

        figures = measured(f"deal table over {args.rows} rows x 15 columns", args.runs, {
            "fun_read_deal(as_frame=True)": lambda: account.fun_read_deal(START, END, as_frame=True),
            "fun_read_deal + pd.DataFrame(data)": lambda: pd.DataFrame(account.fun_read_deal(START, END)["data"]),
            "query_df (open client)": lambda: client.query_df(sql),
            "fetch alone (raw_query, Native)": lambda: client.raw_query(sql, fmt="Native"),
        }, "fun_read_deal(as_frame=True)")
        framed_ms = figures["fun_read_deal(as_frame=True)"]
        speedup = figures["fun_read_deal + pd.DataFrame(data)"] / framed_ms
        print(f"  as_frame vs read + DataFrame: {speedup:.1f}x faster (goal 4x: {'met' if speedup >= 4 else 'NOT met'})")
        versus_df = figures["query_df (open client)"] / framed_ms
        print(f"  as_frame vs query_df: {versus_df:.2f}x ({'faster' if versus_df > 1 else 'NOT faster'})")
        print(f"  distance to the fetch floor: {framed_ms - figures['fetch alone (raw_query, Native)']:.1f} ms")


if __name__ == "__main__":
    main()
