// Help texts of module Stravenor, passed as the doc argument of its definitions.
// The function's signature line is made where it is registered, from the
// names its arguments are parsed by.
#pragma once

namespace stravenor::docs {

inline constexpr const char* kDocStravenorModule = R"doc(Live snapshot of an account from the risk-control platform.

query_trader_all_info logs in to the platform as one trading account through the native
trader library shipped in this package (libtrader and the trading API library, beside this
module) and returns the account's fund figures, positions, trades or orders of the current
trading day. Module Pelmora re-exports the function and its live reads call it.
)doc";

inline constexpr const char* kDocQueryTraderAllInfo = R"doc(Log in as userid at ip:port and return one part of the account, right now.

ip       -- the platform's address, e.g. pelmora.Pelmora.RISK_PLATFORM_HOST
port     -- the port as text, "10911"
userid   -- the platform user: the first eight characters of the account id
password -- the platform password
option   -- "fund", "position", "trade" or "entrust" (exact, case-sensitive)

All five are required texts; a missing or non-text argument raises TypeError and nothing
is sent. Returns a dict whose first key "登录成功" (login succeeded) is a bool, then:
  "fund"     -> "data": {"账户权益", "可用资金", "占用保证金", "平仓盈亏", "持仓盈亏", "交易日",
                         "手续费", "入金", "出金", "上次权益"}
  "position" -> "data": [{"contract", "direction", "today_position", "yesterday_position",
                          "total_position", "position_profit", "use_margin"}, ...]
  "trade"    -> "data": [{"contract", "direction", "offset", "price", "volume", "time",
                          "trade_id", "entrust_serial_no"}, ...]
  "entrust"  -> "data": [{"contract", "direction", "offset", "status", "price",
                          "entrust_volume", "deal_volume", "time", "entrust_serial_no"}, ...]
  other      -> "msg": "未知查询选项"
A refused login is not an error: "登录成功" is False. The native library holds one
session, so calls from several threads are served one after the other (other threads keep
running while a call waits on the platform).
)doc";

}  // namespace stravenor::docs
