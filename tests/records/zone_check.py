"""Run by test_records_native with TZ set: date-times read through Native and through the
query path agree, and so do the tables made of them, for clients with each of
clickhouse-connect's zone settings. Prints "agree"."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2]))

import clickhouse_connect  # noqa: E402
import pandas as pd  # noqa: E402

import pelmora.Pelmora as P  # noqa: E402
from services import endpoints as ep  # noqa: E402
from tests.records.pipeline import assert_same  # noqa: E402

SQL = ("SELECT toDateTime('2024-03-10 06:59:59') + number * 3600 AS t, "
       "toDateTime('2024-11-03 05:30:00', 'America/New_York') + number * 1800 AS tny, "
       "toDateTime64('1969-12-31 23:59:59.123456', 6) + number AS t64, "
       "toDateTime64('2024-01-05 09:30:00.5', 3, 'Asia/Shanghai') AS t64z, "
       "toDateTime(0) AS epoch, CAST(if(number % 2, NULL, toDateTime('2038-01-19 03:14:08')) AS Nullable(DateTime)) AS nt "
       "FROM numbers(6)")
TEXT = [[], ["t", "tny", "t64", "t64z", "epoch", "nt"]]
CLIENTS = [dict(), dict(tz_source="local"), dict(tz_source="server"), dict(tz_mode="aware"),
           dict(query_tz="Asia/Tokyo")]


def query_path(client, text_columns):
    found = client.query(SQL)
    return P._history_records(found.result_set, found.column_names, text_columns)


for options in CLIENTS:
    query_tz = options.pop("query_tz", None)
    try:
        client = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                               username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD, **options)
    except TypeError:  # an option this clickhouse-connect does not have
        continue
    if query_tz:
        # Both paths make their query context here.
        def with_zone(_make=client.create_query_context, **kw):
            kw["query_tz"] = kw.get("query_tz") or query_tz
            return _make(**kw)
        client.create_query_context = with_zone
    for text_columns in TEXT:
        native = P._query_records(client, SQL, text_columns)
        assert_same(native, query_path(client, text_columns))
        pd.testing.assert_frame_equal(P._query_frame(client, SQL, text_columns), pd.DataFrame(native))
    found = client.query(SQL)
    pd.testing.assert_frame_equal(P._values_frame(client, SQL),
                                  pd.DataFrame(found.result_set, columns=found.column_names))
    print(options, query_tz, native[0])
print("agree")
