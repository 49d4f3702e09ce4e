"""`Pelmora.factors_value` over a year of daily factor values for 50 factors on the local store,
against clickhouse-connect's own `query_df` on the same statement (an already open client, and
one opened and closed per read as the product does), against the table made of the rows of
`query` with a client per read (the read as described; checked equal first), and where the product's time goes: its
own client, the store and transport (`query` with the parsed columns) and the DataFrame. Brings the local stack up (or reuses it);
removes its rows afterwards.

    python bench/factors_bench.py [--factors 50] [--runs 5]
"""
import argparse
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

from services import endpoints as ep  # noqa: E402
from services.stack import clients, lifecycle  # noqa: E402

import pelmora.Pelmora as P  # noqa: E402
from pelmora.Pelmora import Pelmora  # noqa: E402
from timing import median_ms  # noqa: E402

PREFIX = "Bench_Factor_"
START, END = "20230101", "20231231"  # outside the demo history: only the bench rows fall in it
COMMODITIES = 12


def fill(ch, factors):
    clean(ch)
    # Every calendar day of 2023 but the weekends, COMMODITIES values per factor and day.
    ch.command(
        "INSERT INTO other.factor_value_new (date, factor, commodity, value) "
        "SELECT d, concat('" + PREFIX + "', leftPad(toString(f), 2, '0')), concat('c', toString(c)), "
        "round(sin(f * 1000 + c * 37 + toUInt32(d)) * 3, 4) "
        "FROM (SELECT toDate('2023-01-01') + number AS d FROM numbers(365) WHERE toDayOfWeek(d) <= 5) AS days "
        f"CROSS JOIN (SELECT number AS f FROM numbers({factors})) AS factors "
        f"CROSS JOIN (SELECT number AS c FROM numbers({COMMODITIES})) AS commodities")


def clean(ch):
    ch.command(f"ALTER TABLE other.factor_value_new DELETE WHERE factor LIKE '{PREFIX}%'")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--factors", type=int, default=50)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    lifecycle.up()
    ch = clients.clickhouse()
    research = clients.clickhouse(ep.RESEARCH_USER, ep.RESEARCH_PASSWORD)
    try:
        fill(ch, args.factors)
        statement = P._statement("factor_value", start_date=START, end_date=END)
        got = Pelmora.factors_value("value", START, END)
        assert got["code"] == 0, got.get("msg")
        reference = research.query_df(statement)
        rows = len(got["data"])
        assert rows == len(reference) > 0 and list(got["data"].columns) == list(reference.columns)

        def query_df_own_client():
            client = clients.clickhouse(ep.RESEARCH_USER, ep.RESEARCH_PASSWORD)
            try:
                client.query_df(statement)
            finally:
                client.close()

        def described_construction():
            # As the read is described: a client per call, query, the table of its rows.
            client = clients.clickhouse(ep.RESEARCH_USER, ep.RESEARCH_PASSWORD)
            try:
                found = client.query(statement)
                return P.pd.DataFrame(found.result_set, columns=found.column_names)
            finally:
                client.close()

        P.pd.testing.assert_frame_equal(got["data"], described_construction())
        found = research.query(statement)
        columns = found.result_columns
        figures = {
            "product factors_value": median_ms(lambda: Pelmora.factors_value("value", START, END), args.runs),
            "query_df, open client": median_ms(lambda: research.query_df(statement), args.runs),
            "query_df, client per read": median_ms(query_df_own_client, args.runs),
            "described construction (client per read)": median_ms(described_construction, args.runs),
            "  client open + close (per read)": median_ms(
                lambda: clients.clickhouse(ep.RESEARCH_USER, ep.RESEARCH_PASSWORD).close(), args.runs),
            "  query + its columns (store, transport)": median_ms(
                lambda: research.query(statement).result_columns, args.runs),
            "  DataFrame from the columns": median_ms(
                lambda: P.pd.DataFrame(dict(enumerate(columns))), args.runs),
            "  (DataFrame from the rows, for scale)": median_ms(
                lambda: P.pd.DataFrame(found.result_set, columns=list(found.column_names)), args.runs),
        }
        print(f"{rows} rows ({args.factors} factors x {COMMODITIES} commodities x a year of weekdays), "
              f"median of {args.runs} runs (load average {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores)")
        for name, ms in figures.items():
            print(f"  {name:<40} {ms:9.1f} ms")
        product = figures["product factors_value"]
        for baseline in ("query_df, client per read", "query_df, open client", "described construction (client per read)"):
            speedup = figures[baseline] / product
            print(f"product vs {baseline}: {speedup:.2f}x faster")
        goal = figures["query_df, client per read"] / product
        print(f"goal 1.5x against query_df with a client per read: {'met' if goal >= 1.5 else 'NOT met'}")
    finally:
        clean(ch)
        research.close()
        ch.close()


if __name__ == "__main__":
    main()
