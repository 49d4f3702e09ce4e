"""Factor tables of the research store and the post-trade breakdown, against the local stack."""
import collections
import datetime as dt
import types

import pandas as pd
import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from services.demo import desk

ARGUMENT_MSG = "typ 枚举值 {'value'，'weight'}; start_date, end_date -- '20240904' "
POST_TRADE_ARGUMENT_MSG = "必填字段未定义/格式有误, 请修改后重新执行"
UNREACHABLE = "127.0.0.9"  # a loopback address where nothing listens
FACTOR_TABLES = {"value": "other.factor_value_new", "weight": "other.factor_weight_new",
                 "net": "other.factor_net_new"}
MAIN, LONG_ID = desk.MAIN, desk.LONG_ID
RESULT_COLUMNS = ["assetacc", "product_name", "commodity", "pl_l", "pl_s", "pl"]

pytestmark = pytest.mark.usefixtures("stack")


@pytest.fixture
def research_clients(monkeypatch):
    """Every research client the library opens (the real one), with its settings and close count."""
    opened = []
    real = P.clickhouse_connect

    def get_client(**settings):
        client = real.get_client(**settings)
        record = types.SimpleNamespace(settings=settings, closed=0)
        real_close = client.close

        def close():
            record.closed += 1
            real_close()
        client.close = close
        opened.append(record)
        return client

    monkeypatch.setattr(P, "clickhouse_connect", types.SimpleNamespace(get_client=get_client))
    return opened


def demo_rows(demo_data, typ, start, end, factors=desk.FACTORS):
    table = demo_data.clickhouse[FACTOR_TABLES[typ]]
    rows = [r for r in table.rows if start <= r[0] <= end and r[1] in factors]
    return table.columns, sorted(rows)


def frame_rows(df):
    return sorted(tuple(r) for r in df.itertuples(index=False))


# -- factor values ------------------------------------------------------------------------


def rows_frame(found):
    """The table as researchers know it: built from the result's rows and column names."""
    return pd.DataFrame(found.result_set, columns=list(found.column_names))


@pytest.mark.parametrize("typ", ["value", "weight", "net"])
def test_factor_tables_and_the_vesk_subset(demo_data, research_client, research_clients, typ):
    start, end = dt.date(2024, 9, 4), dt.date(2024, 9, 6)
    every = Pelmora.factors_value(typ, "20240904", "20240906")
    vesk = Pelmora.factors_value_vesk(typ=typ, start_date="20240904", end_date="20240906")
    for got, factors in ((every, desk.FACTORS), (vesk, desk.FACTORS_VESK)):
        assert list(got) == ["code", "data"] and got["code"] == 0
        assert isinstance(got["data"], pd.DataFrame)
        columns, rows = demo_rows(demo_data, typ, start, end, factors)
        assert list(got["data"].columns) == columns
        assert frame_rows(got["data"]) == rows
    assert set(vesk["data"]["factor"]) == set(desk.FACTORS_VESK)
    # Values and column types exactly as a table made from the rows (dates stay date objects).
    reference = rows_frame(research_client.query(P._statement("factor_" + typ, start_date="20240904",
                                                              end_date="20240906")))
    assert every["data"].equals(reference) and every["data"].dtypes.equals(reference.dtypes)
    assert isinstance(every["data"]["date"].iloc[0], dt.date)
    # One client of its own per call, as the research user, closed after the call.
    assert [(c.settings["username"], c.closed) for c in research_clients] == [("read_factors", 1)] * 2


class Recording:
    """A research client that notes which of its ways was asked; `native=False` offers no raw_query."""

    def __init__(self, client, asked, native):
        self.client, self.asked = client, asked
        self.close, self.create_query_context = client.close, client.create_query_context
        if native:
            self.raw_query = self.ask("raw_query")

    def ask(self, name):
        def call(*args, **kwargs):
            self.asked.append(name)
            return getattr(self.client, name)(*args, **kwargs)
        return call

    def query(self, *args, **kwargs):
        return self.ask("query")(*args, **kwargs)


@pytest.mark.parametrize("native", [True, False], ids=["native", "fallback"])
@pytest.mark.parametrize("method, typ, start, end", [
    (Pelmora.factors_value, "value", "20240904", "20240906"),
    (Pelmora.factors_value_vesk, "weight", "20240901", "20240930"),
    (Pelmora.factors_value, "net", "20240906", "20240904"),  # no rows
])
def test_factor_table_is_the_table_of_the_rows(monkeypatch, research_client, native, method, typ, start, end):
    asked, real = [], P.clickhouse_connect
    monkeypatch.setattr(P, "clickhouse_connect", types.SimpleNamespace(
        get_client=lambda **settings: Recording(real.get_client(**settings), asked, native)))
    got = method(typ, start, end)
    assert got["code"] == 0 and asked == (["raw_query"] if native else ["query"])
    name = "factor_" + typ + ("_vesk" if method is Pelmora.factors_value_vesk else "")
    described = rows_frame(research_client.query(P._statement(name, start_date=start, end_date=end)))
    pd.testing.assert_frame_equal(got["data"], described)


def test_factor_methods_are_static_and_answer_the_same_on_an_object(account):
    on_class = Pelmora.factors_value_vesk("weight", "20240910", "20240910")
    on_object = account.factors_value_vesk("weight", "20240910", "20240910")
    assert on_object["data"].equals(on_class["data"]) and len(on_class["data"]) == len(desk.FACTORS_VESK)


@pytest.mark.parametrize("method", [Pelmora.factors_value, Pelmora.factors_value_vesk])
@pytest.mark.parametrize("args", [
    (),                                      # the defaults
    ("Value", "20240904", "20240906"),       # kinds are case-sensitive
    ("sector", "20240904", "20240906"),
    (None, "20240904", "20240906"),
    ("value", "2024094", "20240906"),
    ("value", "20240904", "2024-09-06"),
    ("value", "", ""),
])
def test_refused_arguments_open_no_connection(research_clients, method, args):
    assert method(*args) == {"code": 1, "msg": ARGUMENT_MSG}
    assert research_clients == []


def test_day_without_a_length_is_answered_with_the_type_error(research_clients):
    got = Pelmora.factors_value("net", 20240904, "20240906")
    assert got["code"] == 1 and got["msg"].startswith("TypeError(") and "len()" in got["msg"]
    assert research_clients == []


def test_start_after_end_gives_an_empty_table_without_columns():
    # ClickHouse sends no block at all when no row passed the filter, so no column is named.
    got = Pelmora.factors_value("value", "20240906", "20240904")
    assert got["code"] == 0 and isinstance(got["data"], pd.DataFrame)
    assert got["data"].shape == (0, 0)


def test_day_the_store_cannot_compare_fails_and_still_closes_the_client(research_clients):
    got = Pelmora.factors_value_vesk("value", "abcdefgh", "20240906")
    assert got["code"] == 1 and got["msg"].startswith("DatabaseError(")
    assert [c.closed for c in research_clients] == [1]


def test_research_store_unreachable(monkeypatch):
    monkeypatch.setattr(P, "CENTRAL_HOST", UNREACHABLE)
    got = Pelmora.factors_value("value", "20240904", "20240906")
    assert got["code"] == 1 and got["msg"].startswith("OperationalError(") and UNREACHABLE in got["msg"]


# -- post-trade analysis ------------------------------------------------------------------


def expected_breakdown(demo_data, booked_under, start, end):
    """(commodity -> (pl_l, pl_s, pl)) over both return tables, plain contracts only."""
    sums = collections.defaultdict(lambda: [0.0, 0.0])
    for name in ("daily_return", "daily_return_fz"):
        for r in demo_data.mysql[name].dicts():
            if r["assetacc"] == booked_under and start <= r["trading_day"] <= end and len(r["contract"]) <= 6:
                sums[r["commodity"]][0] += r["prefee_return_l"] - r["commission_l"]
                sums[r["commodity"]][1] += r["prefee_return_s"] - r["commission_s"]
    return {c: (round(l, 2), round(s, 2), round(l + s, 2)) for c, (l, s) in sums.items()}


def breakdown(df):
    return {r.commodity: (round(r.pl_l, 2), round(r.pl_s, 2), round(r.pl, 2)) for r in df.itertuples()}


@pytest.mark.parametrize("who", [MAIN, LONG_ID], ids=["own-returns", "booked-under-main"])
def test_breakdown_per_commodity(demo_data, who):
    account = Pelmora(who.account_id, who.acquire_key, who.user_id)
    got = account.post_trade_analysis("20240923", "20240927")
    assert list(got) == ["code", "data"] and got["code"] == 0
    df = got["data"]
    assert list(df.columns) == RESULT_COLUMNS
    # The account's own id and product, whatever account its returns are booked under.
    assert set(df["assetacc"]) == {who.account_id} and set(df["product_name"]) == {who.product_name}
    expected = expected_breakdown(demo_data, MAIN.account_id, dt.date(2024, 9, 23), dt.date(2024, 9, 27))
    assert breakdown(df) == expected
    assert set(expected) >= {"rb", "SR", "al"}  # the main account's own and the long-id account's commodities


def test_both_return_tables_count_and_combination_contracts_do_not(demo_data, account):
    start, end = dt.date(2024, 9, 23), dt.date(2024, 9, 27)
    got = breakdown(account.post_trade_analysis("20240923", "20240927")["data"])

    def total(commodity, tables, longest):
        return round(sum(r["prefee_return_l"] - r["commission_l"] + r["prefee_return_s"] - r["commission_s"]
                         for name in tables for r in demo_data.mysql[name].dicts()
                         if r["assetacc"] == MAIN.account_id and r["commodity"] == commodity
                         and start <= r["trading_day"] <= end and len(r["contract"]) <= longest), 2)

    # Sugar's fee adjustments live in the second table only.
    assert got["SR"][2] == total("SR", ("daily_return", "daily_return_fz"), 6) != total("SR", ("daily_return",), 6)
    # The rebar spread leg (a long code) is booked under rebar but stays out of the sums.
    assert got["rb"][2] == total("rb", ("daily_return", "daily_return_fz"), 6)
    assert got["rb"][2] != total("rb", ("daily_return", "daily_return_fz"), 99)


def test_query_goes_through_the_class_and_its_table_is_passed_through(monkeypatch, account):
    sent = []
    table = pd.DataFrame({"anything": [1]})

    def substitute(sql):
        sent.append(sql)
        return table
    monkeypatch.setattr(Pelmora, "mysql_248", staticmethod(substitute))

    got = account.post_trade_analysis("20240904", "20240906", typ="commodity")
    assert got["code"] == 0 and got["data"] is table
    assert sent == [P._statement("post_trade_commodity", account=MAIN.account_id, start="2024-09-04",
                                 end="2024-09-06")]
    assert sent[0].count("trading_day >= '2024-09-04' AND trading_day <= '2024-09-06'") == 2

    # Other kinds send nothing and answer an empty table.
    other = account.post_trade_analysis("20240904", "20240906", "sector")
    assert other["code"] == 0 and isinstance(other["data"], pd.DataFrame) and other["data"].empty
    assert len(sent) == 1


@pytest.mark.parametrize("args", [("2024094", "20240906"), ("20240904", "202409066"),
                                  ("20240904", "20240906", "")])
def test_refused_arguments(account, args):
    assert account.post_trade_analysis(*args) == {"code": 2, "msg": POST_TRADE_ARGUMENT_MSG}


def test_argument_without_a_length_raises(account):
    with pytest.raises(TypeError):
        account.post_trade_analysis(20240904, "20240906")


def test_uninitialised_object_is_refused_first(account):
    account.login = 4003
    assert account.post_trade_analysis("", "") == {"code": 1, "msg": "类初始化失败"}


@pytest.mark.parametrize("account_id", ["89999999", "x' or '1'='1"], ids=["unregistered", "quote-in-id"])
def test_account_without_register_rows_gives_the_empty_table(account, account_id):
    # A quote in the id stays inside its literal: it cannot widen the register match.
    account.account_id = account_id
    got = account.post_trade_analysis("20240904", "20240906")
    assert got["code"] == 0 and got["data"].empty and list(got["data"].columns) == RESULT_COLUMNS


def test_mysql_down(monkeypatch, account):
    monkeypatch.setattr(P, "CENTRAL_HOST", UNREACHABLE)
    got = account.post_trade_analysis("20240904", "20240906")
    assert got["code"] == 1 and got["msg"].startswith("OperationalError(") and UNREACHABLE in got["msg"]
