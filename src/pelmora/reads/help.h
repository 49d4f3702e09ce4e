// Help texts of the account reads. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

// The as_frame argument, the same for every read.
#define PELMORA_DOC_AS_FRAME \
  "as_frame             -- keyword only; True: \"data\" is the pandas DataFrame that\n" \
  "                        pd.DataFrame(<the default \"data\">) gives (same columns, dtypes and\n" \
  "                        values, epoch milliseconds as integers; no rows: an empty table;\n" \
  "                        live fund figures: their one row); failures answer as without it\n"

inline constexpr const char* kDocFunReadOrder = R"doc(Orders of the account: live today, or from the history between two trading days.

start_date, end_date -- both "" (default): today's live orders from the risk-control
                        platform (production accounts only); else eight-digit days such as
                        "20240923", inclusive, selected by trading_day
)doc" PELMORA_DOC_AS_FRAME R"doc(
Result "data": live -- the platform's order records (contract, direction, offset, status,
price, entrust_volume, deal_volume, time, entrust_serial_no); history -- one dict per row
with day, trading_day (texts "YYYY-MM-DD"), trading_time, instrument_id, entrust_direction,
price, entrust_volume, deal_volume, exchange_id, entrust_serial_no, entrust_status.
Codes: 0 "查询成功（风控平台实时数据）" (live) or "success" (history; [] when no rows);
1 "类初始化失败", "风控平台连接失败, 请检查网络连接", "风控平台实时数据查询失败, 请检查账号信息";
2 "日期格式有误, 请修改后重新执行" (a date not eight characters long; an eight-character
text that is no date raises the date parser's ValueError), "仿真环境暂不提供实时/历史委托查询服务。" (simulation
accounts have no order read), or the store error followed by "line_no: <n>".
)doc";

inline constexpr const char* kDocFunReadDeal = R"doc(Deals (fills) of the account: live today, or from the history between two trading days.

start_date, end_date -- both "" (default): today's live trades from the risk-control
                        platform (production accounts); else eight-digit days such as
                        "20240923", inclusive, selected by trading_day
)doc" PELMORA_DOC_AS_FRAME R"doc(
Result "data": live -- the platform's trade records (contract, direction, offset, price,
volume, time, trade_id, entrust_serial_no); history -- one dict per row; production
accounts: day, trading_day (texts "YYYY-MM-DD"), trading_time, instrument_id,
entrust_direction, price, volume, commission, exchange_id, product, vendor, product_code,
entrust_serial_no, account_id, trade_id (both vendor tables, not de-duplicated);
simulation accounts: the columns of simulate.ctp_dealdetail.
Codes: 0 "查询成功（风控平台实时数据）" (live) or "success" (history; [] when no rows);
1 "类初始化失败", "风控平台连接失败, 请检查网络连接", "风控平台实时数据查询失败, 请检查账号信息";
2 "日期格式有误, 请修改后重新执行" (a date not eight characters long; an eight-character
text that is no date raises the date parser's ValueError) or the store error followed by "line_no: <n>".
Tip: as_frame=True for a DataFrame.
)doc";

inline constexpr const char* kDocFunReadPosition = R"doc(Positions of the account: live summary today, or daily records between two days.

start_date, end_date -- both "" (default): today's live positions from the risk-control
                        platform, summed per contract (production accounts); else
                        eight-digit days such as "20240923", inclusive
)doc" PELMORA_DOC_AS_FRAME R"doc(
Result "data": live -- {contract: {"today", "yesterday" (net long minus short),
"today_long", "yesterday_long", "today_short", "yesterday_short",
"position_profit_long", "position_profit_short", "use_margin_long", "use_margin_short"}},
combination contracts ("&") skipped; history -- one dict per row with day ("YYYY-MM-DD"),
instrument_id, direction, open_price, average_price, position, exchange_id, account_id,
market_value, vendor, product_code, product (simulation accounts: the columns of
simulate.ctp_positionstatics).
Codes: 0 "查询成功（风控平台实时数据）" or "success"; 1 "类初始化失败",
"风控平台连接失败, 请检查网络连接", "风控平台实时数据查询失败, 请检查账号信息",
"风控平台实时数据查询失败, 持仓数据有非LONG/SHORT的记录"; 2 "日期格式有误, 请修改后重新执行" (a date not eight characters long; an eight-character
text that is no date raises the date parser's ValueError)
or the store error followed by "line_no: <n>".
)doc";

inline constexpr const char* kDocFunReadEquity = R"doc(Equity of the account: live fund figures today, or one balance per trading day.

start_date, end_date -- both "" (default): today's live fund figures from the risk-control
                        platform (production accounts); else eight-digit days such as
                        "20240901", inclusive
)doc" PELMORA_DOC_AS_FRAME R"doc(
Result "data": live -- {"account_id", "available", "balance", "trading_day",
"position_profit", "close_profit", "commission", "deposit", "withdraw", "pre_balance"};
history -- [{"account_id", "trading_day" ("YYYY-MM-DD"), "balance" (float),
"update_time" ("YYYY-MM-DD HH:MM:SS", the day's latest snapshot)}, ...] in the store's
order (sort by trading_day before plotting).
Codes: 0 "查询成功（风控平台实时数据）" or "success, " (history, also for no rows);
1 "类初始化失败", "风控平台连接失败, 请检查网络连接", "风控平台实时数据查询失败, 请检查账号信息",
or the repr of a store error; 2 "日期格式有误, 请修改后重新执行" (a date not eight characters long; an eight-character
text that is no date raises the date parser's ValueError).
)doc";

}  // namespace pelmora::docs
