"""Bounded fuzzing of the public entry points on stand-in stores: every call gives a result
dictionary or a Python exception, never a crash, and every statement sent keeps the structure
the library meant (values stay inside their literals). `make fuzz` runs the same for longer."""
from __future__ import annotations

import os

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora
from tests.fakes.catalogue import template_of
from tests.fuzz.strategies import ANY_VALUE, NASTY_TEXT, structure

EXAMPLES = int(os.environ.get("PELMORA_FUZZ_EXAMPLES", "100"))
FUZZ = settings(max_examples=EXAMPLES, deadline=None,
                suppress_health_check=[HealthCheck.function_scoped_fixture, HealthCheck.too_slow])

READS = ["fun_read_position", "fun_read_order", "fun_read_deal", "fun_read_equity"]
ACCOUNT, KEY = "80050021", "k-80050021"


def outcome(call):
    """A result dictionary or a Python exception; anything else is a defect."""
    try:
        got = call()
    except Exception as err:  # noqa: BLE001 - any Python exception is an accepted outcome
        return err
    return got


@pytest.fixture
def account(fake_stores):
    fake_stores.register(ACCOUNT, KEY)
    return Pelmora(ACCOUNT, KEY, "trader01")


@FUZZ
@given(read=st.sampled_from(READS), account_id=ANY_VALUE, start=ANY_VALUE, end=ANY_VALUE)
def test_reads_answer_or_raise(account, fake_stores, read, account_id, start, end):
    account.account_id = account_id
    got = outcome(lambda: getattr(account, read)(start, end))
    assert isinstance(got, (dict, Exception))
    if isinstance(got, dict):
        assert list(got)[0] == "code" and got["code"] in (0, 1, 2)


def statements_of(account, fake_stores, read, account_id):
    account.account_id = account_id
    before = len(fake_stores.clickhouse.queries)
    getattr(account, read)("20240105", "20240106")
    return [structure(q) for q in fake_stores.clickhouse.queries[before:]]


@FUZZ
@given(read=st.sampled_from(READS), first=st.sampled_from("87"), rest=NASTY_TEXT)
def test_read_statements_keep_their_structure(account, fake_stores, read, first, rest):
    sent = statements_of(account, fake_stores, read, first + rest)
    assert sent == statements_of(account, fake_stores, read, first + "0000000")


@FUZZ
@given(account_id=ANY_VALUE, key=ANY_VALUE, user=ANY_VALUE, env=ANY_VALUE)
def test_construction_answers_or_raises(fake_stores, account_id, key, user, env):
    fake_stores.register(ACCOUNT, KEY)
    got = outcome(lambda: Pelmora(account_id, key, user, env))
    assert isinstance(got, (Pelmora, Exception))
    login = structure(P._statement("login", now="n", account="a", key="k"))
    for query in fake_stores.clickhouse.queries:
        if "acquire_info_key" in query:
            assert structure(query) == login


# Every public member with hostile arguments in each of its places: an answer or a Python
# exception, and every statement it sends is one statement the engine parses.
MEMBERS = {
    "fun_update_signal": 4, "fun_delete_signal": 4, "fun_read_signal": 3, "fun_update_sts": 1,
    "fun_redis_position": 0, "fun_redis_deal": 1, "fun_update_TWAP_info": 1, "fun_last_trade": 0,
    "fun_margin_used": 0, "fun_read_info": 1, "fun_read_split_doc": 0, "fun_search_split_mode": 1,
    "fun_back_to_default_split_mode": 0, "fun_set_split_mode": 2, "post_trade_analysis": 3,
    "fun_replicate_save": 2, "contract_format": 0, "risk_platform_connected": 0,
}
STATIC_MEMBERS = {"factors_value": 3, "factors_value_vesk": 3, "unix_to_datetime": 1}
TABLES = st.lists(st.dictionaries(st.sampled_from(["trading_day", "contract", "position", "direction",
                                                   "order_typ", "trade_time", "feature", "commodity",
                                                   "twap", "extra"]), ANY_VALUE, max_size=8), max_size=4)


def sent_statements(fake_stores):
    return fake_stores.clickhouse.queries + fake_stores.clickhouse.commands


def assert_single_clean_statements(statements):
    for text in statements:
        assert template_of(text), text  # made from one of the library's templates
        structure(text)  # the engine refuses bad syntax and more than one statement


@FUZZ
@given(member=st.sampled_from(sorted(MEMBERS)), args=st.lists(st.one_of(ANY_VALUE, TABLES), max_size=4))
def test_every_member_answers_or_raises(account, fake_stores, member, args):
    before = len(sent_statements(fake_stores))
    got = outcome(lambda: getattr(account, member)(*args[:MEMBERS[member]]))
    assert got is None or isinstance(got, (dict, int, bool, str, Exception)) or hasattr(got, "columns")
    if isinstance(got, dict):
        assert list(got)[0] == "code"
    assert_single_clean_statements(sent_statements(fake_stores)[before:])


@FUZZ
@given(member=st.sampled_from(sorted(STATIC_MEMBERS)), args=st.lists(ANY_VALUE, max_size=3))
def test_static_members_answer_or_raise(fake_stores, member, args):
    got = outcome(lambda: getattr(Pelmora, member)(*args[:STATIC_MEMBERS[member]]))
    assert isinstance(got, (dict, str, Exception))
    assert_single_clean_statements(sent_statements(fake_stores))
