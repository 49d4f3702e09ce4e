"""Texts travel GBK-encoded through fixed-size buffers; the module decodes
them up to the first NUL, drops undecodable bytes and strips blanks."""

import pytest

from .conftest import account


def raw(hex_bytes: str) -> dict:
    return {"hex": hex_bytes}


# (field of the order record in the data file, value sent, expected text)
ORDER_TEXT_CASES = [
    ("status", "部分成交", "部分成交"),
    ("status", "未成交还在队列中", "未成交还在队列中"),                # 16 bytes of GBK
    ("contract", "rb2505   ", "rb2505"),                            # trailing blanks
    ("contract", "\t rb2505\r\n", "rb2505"),                        # escaped on the wire
    ("status", "\u3000已撤单\u3000", "已撤单"),                       # ideographic space A1A1
    ("status", raw("c8ab80b2bfb3c9bdbbff"), "全部成交"),              # 0x80 and 0xff invalid
    ("contract", raw("7262ff32353035"), "rb2505"),                   # invalid byte in ASCII
    ("contract", raw("726232353035007878"), "rb2505"),               # stops at the first NUL
    ("status", raw("00c8abb2bf"), ""),                               # NUL first: empty text
    ("offset", raw("ffff"), ""),                                     # nothing decodable
]


@pytest.mark.parametrize("field, sent, expected", ORDER_TEXT_CASES)
def test_buffer_text_conversion(platform, field, sent, expected):
    order = {"contract": "au2506", "direction": "买", "offset": "开仓", "status": "全部成交",
             "price": 1.0, "total": 1, "traded": 1, "time": "09:00:00", "order_id": "1"}
    order[field] = sent
    platform.set_accounts({"80050021": account(orders=[order])})
    result = platform.query("80050021", "entrust")
    assert result["登录成功"] is True
    assert result["data"][0][field] == expected


# Buffers: contract 32, direction 8, offset 16, status 32, time 16, ids 32 bytes,
# terminating NUL included. (data-file field, sent, expected text)
FILL_CASES = [
    ("contract", "C" * 31, "C" * 31),                    # exactly fills the buffer
    ("contract", "C" * 31 + "XYZ", "C" * 31),            # cut at the buffer size
    ("order_id", "9" * 40, "9" * 31),
    ("time", "2025-03-14 09:00:00", "2025-03-14 09:0"),  # 15 bytes kept
    ("direction", "买入开仓", "买入开"),                  # 8 bytes: a 4th character does not fit
    ("status", "全部成交" * 4, "全部成交" * 3 + "全部成"),  # 30 of 32 bytes, no half character
    ("status", "X" + "全部成交" * 4, "X" + "全部成交" * 3 + "全部成"),  # 31 bytes
]


@pytest.mark.parametrize("field, sent, expected", FILL_CASES)
def test_text_filling_its_buffer(platform, field, sent, expected):
    order = {"contract": "au2506", "direction": "买", "offset": "开仓", "status": "全部成交",
             "price": 1.0, "total": 1, "traded": 1, "time": "09:00:00", "order_id": "1"}
    order[field] = sent
    platform.set_accounts({"80050021": account(orders=[order])})
    key = {"order_id": "entrust_serial_no"}.get(field, field)
    assert platform.query("80050021", "entrust")["data"][0][key] == expected


def test_trading_day_buffer_and_position_texts(platform):
    platform.set_accounts({"80050021": account(
        trading_day=" 20250314 ",
        positions=[{"contract": "P" * 31, "direction": "Short  ", "today": 1},
                   {"contract": "螺纹" * 8, "direction": "Long", "today": 2}])})
    assert platform.query("80050021", "fund")["data"]["交易日"] == "20250314"
    positions = platform.query("80050021", "position")["data"]
    assert [(p["contract"], p["direction"]) for p in positions] == [
        ("P" * 31, "Short"), ("螺纹" * 7 + "螺", "Long")]
