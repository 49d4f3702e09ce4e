"""The demo desk: reproducible, valid now, and in the forms the library's readers expect."""
from __future__ import annotations

import ast
import collections
import datetime as dt
import json
import os
import subprocess
import sys

from services import demo
from services.demo import desk
from services.demo.redis_entries import SIGNAL_HASH_FIELDS
from services.endpoints import REPO_ROOT


def entry(data, cache: str, key: str):
    return next(e for e in data.redis[cache] if e.key == key)


def test_build_is_the_same_in_every_process():
    script = "import hashlib; from services import demo; print(hashlib.sha256(repr(demo.build()).encode()).hexdigest())"
    digests = {
        subprocess.run([sys.executable, "-c", script], cwd=REPO_ROOT, capture_output=True, text=True, check=True,
                       env={**os.environ, "PYTHONHASHSEED": seed}).stdout
        for seed in ("1", "2")
    }
    assert len(digests) == 1


def test_every_account_has_a_version_valid_now_and_an_expired_one():
    now = dt.datetime.now().strftime("%Y-%m-%d %H:%M:%S")
    rows = demo.build().clickhouse["factors.t_account_info"].dicts()
    for account in desk.ACCOUNTS:
        mine = [r for r in rows if r["account_id"] == account.account_id]
        valid = [r for r in mine if r["zip_begindate"] <= now < r["zip_enddate"]]
        expired = [r for r in mine if r["zip_enddate"] <= now]
        assert {r["env"] for r in valid} == set(account.envs)
        assert all(r["acquire_info_key"] == account.acquire_key and r["trade_flag"] == account.trade_flag
                   for r in valid)
        assert expired
        for r in mine:
            for text in (r["zip_begindate"], r["zip_enddate"]):
                dt.datetime.strptime(text, "%Y-%m-%d %H:%M:%S")


def test_snapshots_several_a_day_under_eight_character_ids():
    rows = demo.build().clickhouse["trade.futures_account_daily_snapshot"].dicts()
    per_day = collections.Counter((r["account_id"], r["trading_day"]) for r in rows)
    assert {a for a, _ in per_day} == {desk.MAIN.account_id, desk.COPY.account_id}
    assert set(per_day.values()) == {3}
    assert {d for _, d in per_day} == set(desk.trading_days())


def test_positions_agree_with_deals():
    """Net position change of a contract between two days equals its net deal volume."""
    data = demo.build().clickhouse
    days = desk.trading_days()
    held = collections.defaultdict(int)
    for r in data["trade.is_cpositionstatics"].dicts():
        if r["account_id"] == desk.COPY.account_id:
            held[(r["day"], r["instrument_id"])] += r["position"] * (1 if r["direction"] == "long" else -1)
    traded = collections.defaultdict(int)
    for r in data["trade.is_cdealdetail"].dicts():
        if r["account_id"] == desk.COPY.account_id:
            traded[(r["trading_day"], r["instrument_id"])] += r["volume"] * (1 if r["entrust_direction"] == "buy" else -1)
    for prev, day in zip(days, days[1:]):
        for contract in desk.UNIVERSE[desk.COPY.account_id]:
            assert held[(day, contract)] - held[(prev, contract)] == traded[(day, contract)], (day, contract)


def test_cache_texts_read_back_as_literals():
    data = demo.build()
    for cache in ("central", "prod"):
        position = ast.literal_eval(entry(data, cache, desk.MAIN.account_id).value)
        assert isinstance(position, dict) and position
        deals = entry(data, cache, f"{desk.MAIN.account_id}_{desk.ymd(desk.HISTORY_END)}").value
        assert deals and all(isinstance(ast.literal_eval(d), dict) for d in deals)
        warnings = entry(data, cache, "balance_warning").value
        assert all(isinstance(ast.literal_eval(v), dict) for v in warnings.values())
    central_warning = ast.literal_eval(entry(data, "central", "balance_warning").value[desk.MAIN.account_id])
    assert "shares" in central_warning
    assert isinstance(entry(data, "central", "deal_warning").value[desk.MAIN.account_id], str)


def test_split_mode_record_is_an_expired_override():
    record_text = entry(demo.build(), "central", "split_mode").value[desk.LONG_ID.account_id]
    record = eval(record_text, {"datetime": dt})  # the reader evaluates it with the datetime module in scope
    assert list(record) == ["ts", "effective_hour", "split_mode"]
    assert record["split_mode"] in desk.SPLIT_MODES
    assert record["ts"] + dt.timedelta(hours=record["effective_hour"]) < dt.datetime.now()


def test_signal_hash_matches_the_live_rows_of_the_day():
    data = demo.build()
    day = desk.ymd(desk.HISTORY_END)
    fields = entry(data, "central", day).value
    live = {f"{r['account_id']}_{r['contract']}" for r in data.clickhouse["factors.t_order_dtl"].dicts()
            if r["trading_day"] == day and r["delete_tag"] != 2}
    assert set(fields) == live
    for field, text in fields.items():
        record = json.loads(text)
        assert list(record) == list(SIGNAL_HASH_FIELDS)
        assert field == f"{record['account_id']}_{record['contract']}"
        assert text == json.dumps(record)


def test_loaded_caches_hold_the_demo_entries(demo_data, redis_client):
    for cache, entries in demo_data.redis.items():
        conn = redis_client(cache)
        assert conn.dbsize() == len(entries)
        for e in entries:
            stored = {"string": conn.get, "list": lambda k: conn.lrange(k, 0, -1), "hash": conn.hgetall}[e.kind](e.key)
            assert stored == e.value, (cache, e.key)
