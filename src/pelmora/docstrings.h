// Help texts of module Pelmora, one per documented name, passed as the doc
// argument of each definition.
//
// Each member's text starts with its signature in the interpreter's own form,
// "name(self, /, arg=default)" and a "--" line: the interpreter takes that as
// the function's __text_signature__, so inspect.signature(), help() and the
// notebook's completion show the real argument names and defaults. This needs
// pybind11's own signature lines off where the members are defined
// (py::options opts; opts.disable_function_signatures();), else the help shows
// both. Keep each signature equal to the py::arg names and defaults of its .def
// (tests/pelmora/test_help.py compares them with the stubs).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocPelmoraModule = R"doc(Data access for the futures desk.

One Pelmora object stands for one trading account in use: through it a trader or
researcher reads the account's positions, orders, deals and equity (live from the
risk-control platform, or from the history store between two days), publishes and reads
target-position signals, switches the order-splitting mode for a few hours, uploads TWAP
settings, reads limits and warnings from the cache, and reads research factor tables and a
post-trade profit breakdown.

    from pelmora.Pelmora import Pelmora
    acct = Pelmora("80050021", "k-80050021", "trader01")   # env="test" by default
    acct.fun_read_deal("20240923", "20240927")              # {"code": 0, "msg": "success", "data": [...]}

Almost every method answers a result dictionary: "code" first (0 success; 1 object not
initialised, platform or store failure; 2 rejected argument or input), then "msg" and/or
"data". Dates are eight-digit texts such as "20240923". One object is for one thread at a
time (its store session refuses concurrent queries): make one object per thread. The research methods
(factors_value, factors_value_vesk, post_trade_analysis) deliver pandas DataFrames in
"data". The live snapshot function query_trader_all_info of module Stravenor is also a
name of this module.

Importing the module installs a process-wide "ignore" warnings filter.
)doc";

inline constexpr const char* kDocPelmoraClass = R"doc(One trading account in use, with its store connections.

Pelmora(account_id, acquire_key, user_id, env="test") opens the ClickHouse client, the
account's Redis cache (chosen by env: "prod", "prod67", "prod65" select the production
caches, any other value the central one), checks the account and its access key against
the account register, and looks up a copy account. It prints one line for the connection
and one for the login.

The object is usable when login + connect_tag == 0; otherwise nearly every method answers
{"code": 1, "msg": "类初始化失败"} (class initialisation failed).

Attributes: env, login (0 / 4003), client, connect_tag (0 / 4003), account_id,
acquire_key, user_id, redis_conn, update_times, update_df (last accepted signal upload),
if_copy, copy_redis_conn, copy_account_id (only when the account has a copy account).

Accounts whose id begins with "8" are production accounts (live reads from the
risk-control platform); all others are simulation accounts.
)doc";

inline constexpr const char* kDocInit = R"doc(__init__(self, /, account_id, acquire_key, user_id, env='test')
--

Open the account: connect, log in, look up the copy account.

account_id  -- trading account id, e.g. "80050021"
acquire_key -- the account's access key from the account register
user_id     -- the trader working on the account
env         -- "test" (default) or "prod" / "prod67" / "prod65": selects the Redis cache of
               redis_conn only; the comparison is exact and case-sensitive

Prints {'code': 0, 'msg': 'connect to database'} (or code 4003 with the error) and a login
line. A wrong key does not raise: login becomes 4003 and the object is not usable. An
unreachable ClickHouse store or Redis cache ends the constructor with the client's error.
)doc";

inline constexpr const char* kDocUnixToDatetime = R"doc(unix_to_datetime(unix_timestamp)
--

Date of a Unix time stamp, in UTC, as "%Y-%m-%d" text.

unix_timestamp -- seconds since 1970-01-01 00:00:00 UTC, integer or float

Returns e.g. "1970-01-02" for 86400, whatever the machine's time zone. A value outside the
date range raises the host's OverflowError/ValueError/OSError. Static: call it on the class.
)doc";

inline constexpr const char* kDocFunClickhouseConnect = R"doc(fun_clickhouse_connect(self, /)
--

(Re)open the object's ClickHouse client.

Sets client and connect_tag (0 on success, 4003 on failure) and prints
{'code': 0, 'msg': 'connect to database'} or {'code': 4003, 'msg': <repr of the error>}.
Returns None; never raises. The constructor calls it; call it again to recover an object
whose store connection failed.
)doc";

inline constexpr const char* kDocFunLogin = R"doc(fun_login(self, /)
--

Check the account and access key against the account register, and ping the cache.

A register row counts when it is valid now (zip_begindate <= now < zip_enddate). Prints
"----------连接数据库成功, 可进行查询 ...----------" when the account is valid, otherwise sets
login to 4003 and prints "-----------连接成功但是入参有误------------".
Returns None, or 0 when the Redis ping answered false (then prints
"Redis 连接失败：ping 无响应" and leaves login unchanged). Store and cache errors propagate.
)doc";

inline constexpr const char* kDocFunCheckReplicate = R"doc(fun_check_replicate(self, /)
--

Look up the account's copy account in factors.t_assetacc_match.

When a valid pairing exists (is_valid = 1), sets copy_account_id and if_copy = True; from then
on every signal upload is repeated for the copy account. Otherwise changes nothing.
Returns None; store errors propagate.
)doc";

inline constexpr const char* kDocFunReplicateSave = R"doc(fun_replicate_save(self, /, tmp_mat, continuous_holding)
--

Repeat an accepted signal upload for the copy account (called by fun_update_signal).

tmp_mat            -- the accepted signal rows (DataFrame with the 13 signal-table columns);
                      its account_id column is overwritten with copy_account_id in place
continuous_holding -- the main upload's continuous-holding flag

Without a copy account (if_copy False) does nothing. Otherwise writes the copy account's
fields of the day's signal hash in the central cache, retires the copy account's live rows
of the day (unless continuous_holding) and inserts the rows for it. Returns 0; store errors
propagate.
)doc";

inline constexpr const char* kDocContractFormat = R"doc(contract_format(self, /)
--

Does nothing; returns None. Kept for compatibility.
)doc";

inline constexpr const char* kDocRiskPlatformConnected = R"doc(risk_platform_connected(self, /)
--

True when the risk-control platform accepts a TCP connection on port 10911.

Waits at most 2 seconds; any failure (refused, unreachable, time-out) gives False. Sends no
data. The live reads call it before they query the platform.
)doc";

inline constexpr const char* kDocFunUpdateSignal = R"doc(fun_update_signal(self, /, input_data, use_redis=False, continuous_holding=False, simple=False)
--

Publish the account's target positions for one trading day.

input_data         -- DataFrame (or dict of columns / list of row dicts) with the columns
                      trading_day, contract, position (>= 0), direction ("L"/"S"),
                      order_typ ("call_auction", "intraday_trading", "before_close"), and
                      optionally signal_date (default ""), trade_time ("D", "N", "";
                      default "") and feature (0 or 1; default 0). Extra columns are dropped.
                      All rows must share one trading_day; one row per contract.
use_redis          -- False: write the signal table only; True: also write the day's signal
                      hash in the account's cache (fields "<account_id>_<contract>")
continuous_holding -- False: the upload replaces the account's live signals of the day;
                      True: it adds to them (feature is stored as 20/21)
simple             -- accepted, not used

Rows with values outside the accepted sets are dropped silently; the message tells how many
were kept. The same upload sent twice by one object is answered without writing. When the
account has a copy account, the upload is repeated for it. Each account's rows go to the
store as one INSERT, kept whole or not at all. Writers of one account (uploads, status
switches, from any object or process) take turns through a lock in the central cache; while
that cache does not answer, the upload goes on without it.

Result: {"code": 0, "msg": "输入<n>, 有效<kept> <time>"} (or "和上次一致, ..." for a repeat);
code 1 "类初始化失败", "账户正在被另一个写入修改, 请稍后重试, 未做修改" (another writer held the
account for 5 s); code 2 for rejected input, before anything is written:
"输入数据缺少 <col> 列", "输入数据有重复数据, 请修改后重新执行", "输入数据为空, 请修改后重新执行",
"输入数据中的日期有不同值, 目前只支持单次上传单一日期......", "trading_day 须为八位日期文本, ..."
(the day must be eight digits, e.g. "20241008"), "输入数据 <col> 列有无法写入的值 (行 <label>:
<value>), 未做修改" (a value no column holds: a container or other object, an integer outside
64 bits, a missing text), "输入数据有效行数 <n> 超过单次上传上限 100000, 未做修改".
Store errors propagate.
)doc";

inline constexpr const char* kDocFunDeleteSignal = R"doc(fun_delete_signal(self, /, trading_day='', order_typ='', trade_time='', contract=None)
--

Delete the account's live signals of one day, order type and trade time.

trading_day -- the day, e.g. "20240927" (required in practice: "" is rejected)
order_typ   -- "call_auction", "intraday_trading" or "before_close" ("" is rejected)
trade_time  -- "D", "N" or "" (default ""; "" selects the rows stored with an empty trade time)
contract    -- list of contract codes to restrict the deletion to; None or [] for all

Rows are marked deleted (delete_tag 1) with your user id and the time, never removed; the
Redis signal hash is not touched.

Result: {"code": 0, "msg": "删除<count> <time>"} (count may be 0); code 1 "类初始化失败";
code 2 "必填字段未定义/格式有误, 请修改后重新执行" for an empty day or order type, or a
contract argument that is not a list. Store errors propagate.
)doc";

inline constexpr const char* kDocFunReadSignal = R"doc(fun_read_signal(self, /, start_date, end_date, clean=True)
--

Read the account's signals between two trading days (inclusive).

start_date, end_date -- eight-character days, e.g. "20240923"
clean                -- True (default): the current signal per day and contract;
                        False: every live row and every row replaced by a later upload
                        (deleted rows are never returned)

Result: {"code": 0, "msg": "success", "data": [row, ...]}, each row a dict with trading_day,
account_id, contract, position, direction, signal_date, create_time, trade_time, user_id;
code 1 "类初始化失败"; code 2 "必填字段未定义/格式有误, 请修改后重新执行" when a date is not
eight characters long. Tip: pd.DataFrame(result["data"]).
)doc";

// The keyword shared by the four trading-record reads.
#define PELMORA_DOC_AS_FRAME \
  "as_frame             -- keyword only; True: \"data\" is the pandas DataFrame that\n" \
  "                        pd.DataFrame(<the default \"data\">) gives (same columns, dtypes and\n" \
  "                        values, epoch milliseconds as integers; no rows: an empty table;\n" \
  "                        live fund figures: their one row); failures answer as without it\n"

inline constexpr const char* kDocFunReadOrder = R"doc(fun_read_order(self, /, start_date='', end_date='', *, as_frame=False)
--

Orders of the account: live today, or from the history between two trading days.

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

inline constexpr const char* kDocFunReadDeal = R"doc(fun_read_deal(self, /, start_date='', end_date='', *, as_frame=False)
--

Deals (fills) of the account: live today, or from the history between two trading days.

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

inline constexpr const char* kDocFunReadPosition = R"doc(fun_read_position(self, /, start_date='', end_date='', *, as_frame=False)
--

Positions of the account: live summary today, or daily records between two days.

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

inline constexpr const char* kDocFunUpdateSts = R"doc(fun_update_sts(self, /, trade_flag=True)
--

Switch the account on or off for trading in the account register.

trade_flag -- True (default, also 1) enables trading ("T"), False (also 0) disables it ("F")

Closes the account's open register version now and opens a new one with the new flag.
Result: {"code": 0, "msg": " 资金账号 <account> trade flag is T|F  <time>"};
code 1 "类初始化失败", or "账户当前无有效记录, 未做修改" when the account has no current
version; code 2 "必填字段未定义/格式有误, 请修改后重新执行" for any other value.
Store errors propagate; a switch that fails after the close takes its writes back first,
and if the store is gone by then, or the call was interrupted (Ctrl-C), this object takes
them back at the start of its next call. Takes turns with the account's other writers
(code 1 "账户正在被另一个写入修改, 请稍后重试, 未做修改" after 5 s); goes on without the lock
while the central cache does not answer, so trading can be stopped with the cache down.
)doc";

inline constexpr const char* kDocFunRedisPosition = R"doc(fun_redis_position(self, /)
--

The account's live position as kept in the cache by the position writer.

Result: {"code": 0, "data": <the stored value, normally a dict per contract>};
code 1 "类初始化失败", "redis.ping return False", or the repr of the error (cache
unreachable, no entry for the account, a stored text that is not a literal). Never raises.
)doc";

inline constexpr const char* kDocFunReadEquity = R"doc(fun_read_equity(self, /, start_date='', end_date='', *, as_frame=False)
--

Equity of the account: live fund figures today, or one balance per trading day.

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

inline constexpr const char* kDocFunUpdateTwapInfo = R"doc(fun_update_TWAP_info(self, /, input_data)
--

Upload the account's TWAP settings, one row per commodity.

input_data -- DataFrame (or dict of columns / list of row dicts) with the columns
              commodity (unique once upper-cased: "Rb" repeats "RB"), if_twap (1 on /
              0 off), time_gap (>= 0) and volume (>= 0); other columns are ignored

Rows with other values are dropped; the rest are appended to factors.TWAP_config with
account_id and one upload time, as one INSERT kept whole or not at all.
Result: {"code": 0, "msg": "更新<input rows>, <time>"}; code 1 "类初始化失败"; code 2
"输入数据缺少 <col> 列", "输入数据有重复数据, 请修改后重新执行",
"输入数据为空, 请修改后重新执行", "输入数据 <col> 列有无法写入的值 (行 <label>: <value>),
未做修改", "输入数据有效行数 <n> 超过单次上传上限 100000, 未做修改". Store errors propagate.
)doc";

inline constexpr const char* kDocFunLastTrade = R"doc(fun_last_trade(self, /)
--

The account's deal-warning text from the cache (hash "deal_warning"), unchanged.

Result: {"code": 0, "data": <text>}; code 1 "类初始化失败", "redis.ping return False", or the
repr of the error (e.g. KeyError('<account>') when there is no entry).
)doc";

inline constexpr const char* kDocFunMarginUsed = R"doc(fun_margin_used(self, /)
--

The account's balance-warning record from the cache, with its market value.

Reads hash "balance_warning" (a dict written by the risk system) and sets "shares" to the
account's market_value from the account register.
Result: {"code": 0, "data": {..., "shares": <market value>}}; code 1 "类初始化失败",
"redis.ping return False", or the repr of the error (no entry, no valid register row,
store or cache failure).
)doc";

inline constexpr const char* kDocFunReadInfo = R"doc(fun_read_info(self, /, info='\u5355\u7b14\u6700\u5c0f\u5f00\u4ed3\u91cf')
--

Minimum opening quantity per single order ("单笔最小开仓量"), per name.

info -- the category; only "单笔最小开仓量" (the default) is served, whatever is passed

Result: {"code": 0, "msg": "success", "data": {name: min_amt, ...}} ({} when nothing is
configured); code 1 "类初始化失败" or the repr of a store error.
)doc";

inline constexpr const char* kDocFunReadSplitDoc = R"doc(fun_read_split_doc(self, /)
--

Short help on the split-mode functions, in Chinese.

Result: {"code": 0, "msg": " 拆单帮助文档\n ..."}; code 1 "类初始化失败". Print result["msg"].
)doc";

inline constexpr const char* kDocFunSearchSplitMode = R"doc(fun_search_split_mode(self, /, mode='current')
--

Which order-splitting parameters apply to the account.

mode -- "current" (default): the parameters in force now, taking an active override set by
        fun_set_split_mode into account; "default": the account's standing parameters;
        "available": every selectable split mode (IDs beginning with 4321)

Result: {"code": 0, "msg": "success", "data": [row, ...], "set_mode_info": {...}}; each row
maps "拆单方式ID", "报单价格", "是否使用拆单", "总时长（分钟）", "报单时间间隔（秒）",
"撤单时长（秒）", "拆单单笔最大手数", "拆单单笔最小手数" to values; "set_mode_info" holds the
active override {"ts", "effective_hour", "split_mode"} under mode "current", else {}.
Code 1 "类初始化失败" or the repr of a store/cache error; code 2
"mode枚举值需要在 ['current', 'available', 'default']之中 ".
)doc";

inline constexpr const char* kDocFunBackToDefaultSplitMode = R"doc(fun_back_to_default_split_mode(self, /)
--

End any split-mode override: the account's standing parameters apply again.

Logs the reset in strategy.param_modify_log and writes a reset record (never active).
Result: {"code": 0, "msg": "success"}; code 1 "类初始化失败", "redis.ping return False", or
the repr of a store/cache error.
)doc";

inline constexpr const char* kDocFunSetSplitMode = R"doc(fun_set_split_mode(self, /, mode='', effective_hour=-1)
--

Switch the account to a selectable split mode for some hours.

mode           -- a split-mode ID from fun_search_split_mode("available"), e.g. "43210001"
effective_hour -- hours in force from now, strictly between 0 and 24 (e.g. 1 or 0.5)

Both must be given (the defaults "" and -1 mean "not given"). The change is logged in
strategy.param_modify_log and recorded in the cache hash "split_mode"; it expires by itself.
Result: {"code": 0, "msg": "success. start_time: <time>, effective_hour: <h>, split_mode:
<mode> "}; code 1 "类初始化失败", "redis.ping return False" or the repr of a store/cache
error; code 2 "mode, effective_hour 不能为空", "effective_hour 范围 0-24 ",
"mode <mode> 不在可选项目中".
)doc";

inline constexpr const char* kDocFunRedisDeal = R"doc(fun_redis_deal(self, /, dte)
--

The account's deals of one day as kept in the cache by the deal writer.

dte -- the day, in the form the writer uses in its keys ("<account_id>_<dte>"),
       e.g. "20240927"

Result: {"code": 0, "data": [deal, ...]} ([] when there are none); code 1
"类初始化失败", "redis.ping return False", or the repr of the error. Never raises.
)doc";

inline constexpr const char* kDocFactorsValue = R"doc(factors_value(typ='', start_date='', end_date='')
--

Daily research factor table between two days, as a DataFrame. Static: no login needed.

typ        -- "value" (other.factor_value_new: date, factor, commodity, value),
              "weight" (other.factor_weight_new) or "net" (other.factor_net_new)
start_date -- first day, eight characters, e.g. "20240923", inclusive
end_date   -- last day, same form, inclusive

Result: {"code": 0, "data": pandas.DataFrame} (empty with the table's columns when there
are no rows); code 1 "typ 枚举值 {'value'，'weight'}; start_date, end_date -- '20240904' " for a
bad kind or date (also the defaults), or the repr of a connection/query error.
)doc";

inline constexpr const char* kDocFactorsValueVesk = R"doc(factors_value_vesk(typ='', start_date='', end_date='')
--

As factors_value, restricted to the ten factors of the desk's model.

The factors: Factor_Momentum_Long, Factor_Warehouse, Factor_Skew, Factor_Inventory,
Factor_Momentum_Mid, Factor_Profit, Factor_RuleBased_Long, Factor_Basis_TS,
Factor_CSMom_Long, Factor_Basis_Mom.

typ -- "value", "weight" or "net"; start_date, end_date -- eight-character days, inclusive.
Result: {"code": 0, "data": pandas.DataFrame}; code 1 with the argument message or the
repr of a connection/query error. Static: no login needed.
)doc";

inline constexpr const char* kDocMysql248 = R"doc(mysql_248(sql)
--

Run one SQL statement on the desk's MySQL store (database trade) and return a DataFrame.

sql -- the statement text, sent unchanged

Returns a pandas DataFrame with the result's columns and rows (no rows: the columns only).
Opens a new connection per call and commits nothing. Errors of the MySQL client propagate;
a statement without a result set raises. Static.
)doc";

inline constexpr const char* kDocPostTradeAnalysis = R"doc(post_trade_analysis(self, /, start_date, end_date, typ='commodity')
--

Profit and loss of the account per product and commodity, net of commission.

start_date -- first trading day, eight characters, e.g. "20240902", inclusive
end_date   -- last trading day, same form, inclusive
typ        -- "commodity" (default): the breakdown; any other non-empty text gives an
              empty table

Result: {"code": 0, "data": pandas.DataFrame} with the columns assetacc, product_name,
commodity, pl_l (long side), pl_s (short side), pl (total), summed over the daily
returns of contracts of at most six characters; code 1 "类初始化失败" or the repr of a
store error; code 2 "必填字段未定义/格式有误, 请修改后重新执行" for a bad date or empty typ.
)doc";

// MyClass

inline constexpr const char* kDocMyClass = R"doc(Runs one fixed ten-second task on a worker thread with a three-second limit.

    MyClass().run_with_timeout()   # prints "任务超时！" after about ten seconds
)doc";

inline constexpr const char* kDocMyClassInit = R"doc(__init__(self, /)
--

A runner without state: run_with_timeout() runs the ten-second task with a three-second limit.
)doc";

inline constexpr const char* kDocMyTask = R"doc(my_task(self, /)
--

Sleep ten seconds, then return "执行完成" (execution finished).
)doc";

inline constexpr const char* kDocRunWithTimeout = R"doc(run_with_timeout(self, /)
--

Run my_task on a worker thread and wait at most three seconds for it.

Prints the task's result when it arrives in time; otherwise waits for the task to end and
prints "任务超时！" (task timed out) -- about ten seconds after the call. Returns None; never
raises (other errors are printed as ('任务出错：', <error>)).
)doc";

}  // namespace pelmora::docs
