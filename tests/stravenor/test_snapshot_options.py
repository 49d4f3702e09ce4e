"""The four options against the simulator, through the real trader library."""

import pytest

from .conftest import account

FUND_KEYS = ["账户权益", "可用资金", "占用保证金", "平仓盈亏", "持仓盈亏", "交易日", "手续费",
             "入金", "出金", "上次权益"]
POSITION_KEYS = ["contract", "direction", "today_position", "yesterday_position",
                 "total_position", "position_profit", "use_margin"]
TRADE_KEYS = ["contract", "direction", "offset", "price", "volume", "time", "trade_id",
              "entrust_serial_no"]
ORDER_KEYS = ["contract", "direction", "offset", "status", "price", "entrust_volume",
              "deal_volume", "time", "entrust_serial_no"]

# Every fund figure distinct, so a swapped pair shows.
FUND = {"balance": 1000001.5, "available": 800002.25, "curr_margin": 200003.0,
        "frozen_margin": 4.0, "close_profit": 5005.5, "position_profit": -6006.75,
        "commission": 7.125, "deposit": 8000.0, "withdraw": 9000.0, "pre_balance": 990010.0,
        "reserve_balance": 11.0, "exchange_margin": 12.0, "withdraw_quota": 13.0,
        "interest": 14.0}

POSITIONS = [
    {"contract": "rb2505", "direction": "Long", "today": 3, "yesterday": 2, "total": 5,
     "profit": 1250.0, "margin": 21190.0},
    {"contract": "rb2505", "direction": "Short", "today": 1, "yesterday": 4, "total": 5,
     "profit": -410.5, "margin": 21190.0},
    {"contract": "SP rb2505&rb2510", "direction": "Long", "today": 2, "yesterday": 0,
     "total": 2, "profit": 120.0, "margin": 8476.0},
]
TRADES = [
    {"contract": "IF2506", "direction": "卖", "offset": "开仓", "price": 3951.2, "volume": 2,
     "time": "09:31:05", "trade_id": "       50118", "order_id": "      2100201"},
    {"contract": "au2506", "direction": "买", "offset": "平今", "price": 690.82, "volume": 1,
     "time": "14:05:33", "trade_id": "88012", "order_id": "1200577"},
]
ORDERS = [
    {"contract": "au2506", "direction": "买", "offset": "平今", "status": "全部成交",
     "price": 690.82, "total": 1, "traded": 1, "time": "14:05:32", "order_id": "1200577"},
    {"contract": "cu2505", "direction": "卖", "offset": "平昨", "status": "已撤单",
     "price": 78650.0, "total": 3, "traded": 0, "time": "11:02:15", "order_id": "4400231"},
]


@pytest.fixture
def filled(platform):
    platform.set_accounts({"80050021": account(fund=FUND, trading_day="20250314",
                                               positions=POSITIONS, trades=TRADES,
                                               orders=ORDERS)})
    return platform


def test_fund_maps_each_figure_to_its_label(filled):
    result = filled.query("80050021", "fund")
    assert list(result) == ["登录成功", "data"]
    assert result["登录成功"] is True
    assert list(result["data"]) == FUND_KEYS
    assert result["data"] == {
        "账户权益": 1000001.5, "可用资金": 800002.25, "占用保证金": 200003.0,
        "平仓盈亏": 5005.5, "持仓盈亏": -6006.75, "交易日": "20250314", "手续费": 7.125,
        "入金": 8000.0, "出金": 9000.0, "上次权益": 990010.0}


def test_positions_in_index_order(filled, trader_calls):
    result = filled.query("80050021", "position")
    assert result["登录成功"] is True
    assert [list(r) for r in result["data"]] == [POSITION_KEYS] * 3
    assert result["data"] == [
        {"contract": "rb2505", "direction": "Long", "today_position": 3.0,
         "yesterday_position": 2.0, "total_position": 5.0, "position_profit": 1250.0,
         "use_margin": 21190.0},
        {"contract": "rb2505", "direction": "Short", "today_position": 1.0,
         "yesterday_position": 4.0, "total_position": 5.0, "position_profit": -410.5,
         "use_margin": 21190.0},
        {"contract": "SP rb2505&rb2510", "direction": "Long", "today_position": 2.0,
         "yesterday_position": 0.0, "total_position": 2.0, "position_profit": 120.0,
         "use_margin": 8476.0},
    ]
    assert all(type(r["today_position"]) is float for r in result["data"])
    assert trader_calls.since_start() == {"StartTrader": 1, "GetResult": 1,
                                          "GetPositionCount": 1, "GetPosition": 3,
                                          "StopTrader": 1}


def test_trades_with_gbk_texts_and_padded_ids(filled, trader_calls):
    result = filled.query("80050021", "trade")
    assert [list(r) for r in result["data"]] == [TRADE_KEYS] * 2
    assert result["data"] == [
        {"contract": "IF2506", "direction": "卖", "offset": "开仓", "price": 3951.2,
         "volume": 2, "time": "09:31:05", "trade_id": "50118", "entrust_serial_no": "2100201"},
        {"contract": "au2506", "direction": "买", "offset": "平今", "price": 690.82,
         "volume": 1, "time": "14:05:33", "trade_id": "88012", "entrust_serial_no": "1200577"},
    ]
    assert type(result["data"][0]["volume"]) is int
    assert trader_calls.since_start() == {"StartTrader": 1, "GetResult": 1, "GetTradeCount": 1,
                                          "GetTrade": 2, "StopTrader": 1}


def test_orders_with_chinese_statuses(filled, trader_calls):
    result = filled.query("80050021", "entrust")
    assert [list(r) for r in result["data"]] == [ORDER_KEYS] * 2
    assert result["data"] == [
        {"contract": "au2506", "direction": "买", "offset": "平今", "status": "全部成交",
         "price": 690.82, "entrust_volume": 1, "deal_volume": 1, "time": "14:05:32",
         "entrust_serial_no": "1200577"},
        {"contract": "cu2505", "direction": "卖", "offset": "平昨", "status": "已撤单",
         "price": 78650.0, "entrust_volume": 3, "deal_volume": 0, "time": "11:02:15",
         "entrust_serial_no": "4400231"},
    ]
    assert trader_calls.since_start() == {"StartTrader": 1, "GetResult": 1, "GetOrderCount": 1,
                                          "GetOrder": 2, "StopTrader": 1}


@pytest.mark.parametrize("option", ["Fund", "FUND", "positions", " fund", "fund ", "", "全部"])
def test_unrecognised_option_reads_only_the_account_values(filled, trader_calls, option):
    result = filled.query("80050021", option)
    assert result == {"登录成功": True, "msg": "未知查询选项"}
    assert list(result) == ["登录成功", "msg"]
    assert trader_calls.since_start() == {"StartTrader": 1, "GetResult": 1, "StopTrader": 1}


@pytest.mark.parametrize("option, count_function, getter", [
    ("position", "GetPositionCount", "GetPosition"),
    ("trade", "GetTradeCount", "GetTrade"),
    ("entrust", "GetOrderCount", "GetOrder"),
])
def test_zero_records_give_an_empty_list_without_getter_calls(platform, trader_calls, option,
                                                               count_function, getter):
    platform.set_accounts({"80050021": account()})
    assert platform.query("80050021", option) == {"登录成功": True, "data": []}
    calls = trader_calls.since_start()
    assert calls[count_function] == 1
    assert getter not in calls


def test_login_refused_returns_what_the_library_wrote(platform):
    platform.set_accounts({"80050021": account(fund=FUND, positions=POSITIONS,
                                               refuse_login=True)})
    assert platform.query("80050021", "fund") == {"登录成功": False, "data": {
        "账户权益": 0.0, "可用资金": 0.0, "占用保证金": 0.0, "平仓盈亏": 0.0, "持仓盈亏": 0.0,
        "交易日": "", "手续费": 0.0, "入金": 0.0, "出金": 0.0, "上次权益": 0.0}}
    assert platform.query("80050021", "position") == {"登录成功": False, "data": []}
    assert platform.query("80050021", "Fund") == {"登录成功": False, "msg": "未知查询选项"}


@pytest.mark.parametrize("userid, password", [
    ("80050021", "580915"),   # wrong password
    ("80050021", ""),
    ("80059999", "580914"),   # unknown account
])
def test_bad_credentials_are_a_failed_login(platform, userid, password):
    platform.set_accounts({"80050021": account(positions=POSITIONS)})
    result = platform.query(userid, "position", password=password)
    assert result == {"登录成功": False, "data": []}
    assert platform.sim.events(userid)[-1] == ("refused", userid)


def test_data_file_changes_between_two_calls(filled):
    assert filled.query("80050021", "fund")["data"]["账户权益"] == 1000001.5
    filled.set_accounts({"80050021": account(fund={**FUND, "balance": 42.0},
                                             trading_day="20250317")})
    data = filled.query("80050021", "fund")["data"]
    assert (data["账户权益"], data["交易日"]) == (42.0, "20250317")


def test_demo_accounts_serve_netting_records(demo_platform):
    positions = demo_platform.query("80050021", "position")
    assert positions["登录成功"] is True
    sides = {(p["contract"], p["direction"]) for p in positions["data"]}
    assert {("rb2505", "Long"), ("rb2505", "Short")} <= sides
    assert any("&" in p["contract"] for p in positions["data"])
    assert {p["direction"] for p in positions["data"]} == {"Long", "Short"}

    statuses = {o["status"] for o in demo_platform.query("80050021", "entrust")["data"]}
    assert {"全部成交", "已撤单"} <= statuses
    for userid in ("80050021", "80050077"):
        fund = demo_platform.query(userid, "fund")
        assert fund["登录成功"] is True and fund["data"]["交易日"] == "20250314"
        assert demo_platform.query(userid, "trade")["data"]
