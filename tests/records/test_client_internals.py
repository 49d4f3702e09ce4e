"""The parts of clickhouse-connect the library reaches past its public API: the history reads
ask a query context for each date-time column's zone (records/query.cpp), and the local store
front quotes texts with the driver's own escaper. Should a release of the client move them,
these tests say so by name."""
import datetime
import zoneinfo

import pytest

from clickhouse_connect.driver import binding, tzutil
from clickhouse_connect.driver.query import QueryContext

SHANGHAI = zoneinfo.ZoneInfo("Asia/Shanghai")


def test_query_context_picks_the_column_zone_as_the_reads_expect():
    context = QueryContext(query="SELECT 1", column_tzs={"t": "Asia/Shanghai"}, query_tz="UTC")
    context.start_column("t")
    assert context.active_tz(None) == SHANGHAI
    context.start_column("other")
    # the column type's zone comes before the query's
    assert context.active_tz(tzutil.resolve_zone("Europe/Paris")) == zoneinfo.ZoneInfo("Europe/Paris")
    # the query's UTC, by default, means naive values: no zone at all
    assert context.active_tz(None) is None


@pytest.mark.parametrize("zone, utc", [("UTC", True), ("Etc/UTC", True), (datetime.timezone.utc, True),
                                       ("Asia/Shanghai", False)])
def test_tzutil_resolves_and_recognises_utc(zone, utc):
    resolved = tzutil.resolve_zone(zone) if isinstance(zone, str) else zone
    assert isinstance(resolved, datetime.tzinfo)
    assert tzutil.is_utc_timezone(resolved) is utc


def test_driver_escaper_keeps_quotes_and_backslashes_inside():
    assert binding.format_str("a'b\\c") == "'a\\'b\\\\c'"
