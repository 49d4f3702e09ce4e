"""The trading switch: versions of the account register written through the object's client."""

import types

import numpy as np
import pytest
from clickhouse_connect.driver.exceptions import OperationalError

import pelmora.Pelmora as P
from pelmora.Pelmora import Pelmora

from services.demo import desk

MAIN = desk.MAIN
OPEN = desk.OPEN_END
T1, T2 = "2031-03-04 05:06:07", "2031-03-04 05:06:09"
NO_CURRENT = {"code": 1, "msg": "账户当前无有效记录, 未做修改"}
BAD_FLAG = {"code": 2, "msg": "必填字段未定义/格式有误, 请修改后重新执行"}
COLUMNS = ("account_id, account_key, market_value, strategy, trade_flag, acquire_info_key, user_id, env, "
           "zip_begindate, zip_enddate")

pytestmark = pytest.mark.stack_reset("factors.t_account_info")


def register(ch_client, account_id=MAIN.account_id):
    return sorted(ch_client.query(f"SELECT {COLUMNS} FROM factors.t_account_info "
                                  f"WHERE account_id = '{account_id}'").result_set)


def version(flag, env, begin, end, mv=MAIN.market_value, key=MAIN.acquire_key):
    return (MAIN.account_id, f"ak-{MAIN.account_id}", mv, MAIN.strategy, flag, key, MAIN.user_id, env, begin, end)


def message(flag, now):
    return {"code": 0, "msg": f" 资金账号 {MAIN.account_id} trade flag is {flag}  {now}"}


def test_switch_off_then_on_versions_the_register(account, ch_client, clock):
    before = register(ch_client)
    clock(T1)
    assert account.fun_update_sts(False) == message("F", T1)
    clock(T2)
    assert account.fun_update_sts() == message("T", T2)

    # The current versions (one per environment) end at the first switch; each switch opens one
    # version per environment, copying the columns, env included.
    current = [v for v in before if v[-1] == OPEN]
    assert current == [version("T", env, desk.CURRENT_SINCE, OPEN) for env in ("prod", "test")]
    expected = [v for v in before if v[-1] != OPEN]
    expected += [version("T", env, desk.CURRENT_SINCE, T1) for env in ("prod", "test")]
    expected += [version("F", env, T1, T2) for env in ("prod", "test")]
    expected += [version("T", env, T2, OPEN) for env in ("prod", "test")]
    assert register(ch_client) == sorted(expected)
    # Other accounts are untouched and the account still logs in.
    assert register(ch_client, desk.COPY.account_id)[-1][-1] == OPEN
    assert Pelmora(MAIN.account_id, MAIN.acquire_key, MAIN.user_id).login == 0


def test_each_new_version_is_one_insert_in_literal_form(account, ch_client, clock):
    sent = []

    class Recording:
        def query(self, text):
            sent.append(text)
            return ch_client.query(text)

        def command(self, text):
            sent.append(text)
            return ch_client.command(text)

    account.client = Recording()
    clock(T1)
    account.fun_update_sts(0)
    read, close, *inserts = sent
    assert read == P._statement("status_current", now=T1, account=MAIN.account_id, key=MAIN.acquire_key)
    assert close == (f" ALTER TABLE factors.t_account_info UPDATE zip_enddate = '{T1}' WHERE account_id = "
                     f"'{MAIN.account_id}' and zip_enddate = '2500-12-31 00:00:00' ")
    assert sorted(inserts) == [
        f" INSERT into factors.t_account_info ({COLUMNS}) values ('80050021', 'ak-80050021', 12000000.0, "
        f"'cta_trend', 'F', 'k-80050021', 'trader01', '{env}', '{T1}', '2500-12-31 00:00:00'); "
        for env in ("prod", "test")]


@pytest.mark.parametrize("flag, stored", [(1, "T"), (0, "F"), (1.0, "T"), (np.False_, "F")])
def test_values_equal_to_true_or_false_are_accepted(account, ch_client, clock, flag, stored):
    clock(T1)
    assert account.fun_update_sts(trade_flag=flag) == message(stored, T1)
    assert {v[4] for v in register(ch_client) if v[-1] == OPEN} == {stored}


@pytest.mark.parametrize("flag", ["T", "F", None, 2, ""])
def test_other_flags_are_refused_before_any_write(account, ch_client, flag):
    before = register(ch_client)
    assert account.fun_update_sts(flag) == BAD_FLAG
    assert register(ch_client) == before


def test_unusable_object_writes_nothing(account, ch_client):
    before = register(ch_client)
    account.login = 4003
    assert account.fun_update_sts(False) == {"code": 1, "msg": "类初始化失败"}
    assert register(ch_client) == before


def test_two_switches_in_one_second(account, ch_client, clock):
    clock(T1)
    account.fun_update_sts(False)
    assert account.fun_update_sts(True) == message("T", T1)
    mine = [v for v in register(ch_client) if v[-2] >= T1 or v[-1] == T1]
    # The first switch's version is valid for no time at all; exactly one version per
    # environment is current from T1 on.
    assert mine == sorted([version("T", e, desk.CURRENT_SINCE, T1) for e in ("prod", "test")]
                          + [version("F", e, T1, T1) for e in ("prod", "test")]
                          + [version("T", e, T1, OPEN) for e in ("prod", "test")])


def test_key_without_current_version_changes_nothing(account, ch_client):
    # The account's replaced key: valid once, not now. The account's open versions of its
    # current key must stay open.
    before = register(ch_client)
    account.acquire_key = f"{MAIN.acquire_key}-2023"
    assert account.fun_update_sts(False) == NO_CURRENT
    assert register(ch_client) == before


class FailingClient:
    """The real client, except that write number `fail_at` (1: the close) fails; with
    gone=True the store stays away from then on, for reads and writes alike."""

    def __init__(self, real, fail_at, gone=False):
        self.real, self.fail_at, self.gone = real, fail_at, gone
        self.writes = 0
        self.errors = []  # every failure raised, in order

    def _down(self):
        self.errors.append(OperationalError(f"Connection refused (call {len(self.errors) + 1})"))
        raise self.errors[-1]

    def query(self, text):
        if self.gone and self.errors:
            self._down()
        return self.real.query(text)

    def command(self, text):
        self.writes += 1
        if self.writes == self.fail_at or (self.gone and self.errors):
            self._down()
        return self.real.command(text)


@pytest.mark.parametrize("fail_at", [1, 2, 3], ids=["close", "first-insert", "second-insert"])
def test_failed_write_is_taken_back_and_raised(account, ch_client, clock, fail_at):
    before = register(ch_client)
    real = account.client
    account.client = failing = FailingClient(real, fail_at)
    clock(T1)
    with pytest.raises(OperationalError) as raised:
        account.fun_update_sts(False)
    assert raised.value is failing.errors[0]
    assert register(ch_client) == before

    account.client = real
    assert account.fun_update_sts(False) == message("F", T1)
    assert [v for v in register(ch_client) if v[-1] == OPEN] == [version("F", e, T1, OPEN) for e in ("prod", "test")]


def test_store_gone_during_switch_is_taken_back_by_the_objects_next_call(account, ch_client, clock):
    before = register(ch_client)
    real = account.client
    account.client = failing = FailingClient(real, fail_at=2, gone=True)
    clock(T1)
    with pytest.raises(OperationalError) as raised:
        account.fun_update_sts(False)
    # The undo was tried and failed too; the caller sees the insert's error.
    assert len(failing.errors) > 1 and raised.value is failing.errors[0]
    after_failure = register(ch_client)
    assert not [v for v in after_failure if v[-1] == OPEN]

    clock(T2)
    # Still away: the kept undo fails again and nothing is switched.
    with pytest.raises(OperationalError):
        account.fun_update_sts(True)
    # Another object knows nothing of the undo and does not switch blindly.
    other = Pelmora(MAIN.account_id, MAIN.acquire_key, MAIN.user_id)
    assert other.fun_update_sts(True)["code"] == 1
    assert register(ch_client) == after_failure

    # Back: this object first takes its switch back, then switches.
    account.client = real
    assert account.fun_update_sts(True) == message("T", T2)
    after = register(ch_client)
    assert [v for v in after if v[-1] == OPEN] == [version("T", e, T2, OPEN) for e in ("prod", "test")]
    # the versions open before the failed switch now end at T2, and nothing of T1 is left
    assert [v for v in after if v[-1] == T2] == sorted(v[:-1] + (T2,) for v in before if v[-1] == OPEN)
    assert not [v for v in after if T1 in v[-2:]]


class OddCountClient(FailingClient):
    """Fails the first insert, then answers the undo's count with a text."""

    def query(self, text):
        if self.errors and "count()" in text:
            return types.SimpleNamespace(result_set=[["not a count"]])
        return super().query(text)


def test_odd_store_answer_during_the_undo_keeps_the_undo_for_the_next_call(account, ch_client, clock):
    real = account.client
    account.client = failing = OddCountClient(real, fail_at=2)
    clock(T1)
    with pytest.raises(OperationalError) as raised:
        account.fun_update_sts(False)
    assert raised.value is failing.errors[0]
    assert account._sts_pending_undo == (MAIN.account_id, MAIN.acquire_key, T1)

    account.client = real
    clock(T2)
    assert account.fun_update_sts(True) == message("T", T2)
    assert account._sts_pending_undo is None
    assert [v for v in register(ch_client) if v[-1] == OPEN] == [version("T", e, T2, OPEN) for e in ("prod", "test")]


def test_undo_in_the_same_second_reopens_only_the_failed_switchs_versions(account, ch_client, clock):
    clock(T1)
    account.fun_update_sts(False)
    after_first = register(ch_client)
    real = account.client
    # The first switch's closed versions also end at T1; they must stay closed.
    account.client = FailingClient(real, fail_at=3)
    with pytest.raises(OperationalError):
        account.fun_update_sts(True)
    assert register(ch_client) == after_first
