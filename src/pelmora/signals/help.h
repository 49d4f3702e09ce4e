// Help texts of the signal upload, replication, read and delete. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocFunReplicateSave = R"doc(Repeat an accepted signal upload for the copy account (called by fun_update_signal).

tmp_mat            -- the accepted signal rows (DataFrame with the 13 signal-table columns);
                      its account_id column is overwritten with copy_account_id in place
continuous_holding -- the main upload's continuous-holding flag

Without a copy account (if_copy False) does nothing. Otherwise writes the copy account's
fields of the day's signal hash in the central cache, retires the copy account's live rows
of the day (unless continuous_holding) and inserts the rows for it. Returns 0; store errors
propagate.
)doc";

inline constexpr const char* kDocFunUpdateSignal = R"doc(Publish the account's target positions for one trading day.

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

inline constexpr const char* kDocFunDeleteSignal = R"doc(Delete the account's live signals of one day, order type and trade time.

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

inline constexpr const char* kDocFunReadSignal = R"doc(Read the account's signals between two trading days (inclusive).

start_date, end_date -- eight-character days, e.g. "20240923"
clean                -- True (default): the current signal per day and contract;
                        False: every live row and every row replaced by a later upload
                        (deleted rows are never returned)

Result: {"code": 0, "msg": "success", "data": [row, ...]}, each row a dict with trading_day,
account_id, contract, position, direction, signal_date, create_time, trade_time, user_id;
code 1 "类初始化失败"; code 2 "必填字段未定义/格式有误, 请修改后重新执行" when a date is not
eight characters long. Tip: pd.DataFrame(result["data"]).
)doc";

}  // namespace pelmora::docs
