// Help texts of the execution settings: TWAP, split modes and minimum quantities. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocFunUpdateTwapInfo = R"doc(Upload the account's TWAP settings, one row per commodity.

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

inline constexpr const char* kDocFunReadInfo = R"doc(Minimum opening quantity per single order ("单笔最小开仓量"), per name.

info -- the category; only "单笔最小开仓量" (the default) is served, whatever is passed

Result: {"code": 0, "msg": "success", "data": {name: min_amt, ...}} ({} when nothing is
configured); code 1 "类初始化失败" or the repr of a store error.
)doc";

inline constexpr const char* kDocFunReadSplitDoc = R"doc(Short help on the split-mode functions, in Chinese.

Result: {"code": 0, "msg": " 拆单帮助文档\n ..."}; code 1 "类初始化失败". Print result["msg"].
)doc";

inline constexpr const char* kDocFunSearchSplitMode = R"doc(Which order-splitting parameters apply to the account.

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

inline constexpr const char* kDocFunBackToDefaultSplitMode = R"doc(End any split-mode override: the account's standing parameters apply again.

Logs the reset in strategy.param_modify_log and writes a reset record (never active).
Result: {"code": 0, "msg": "success"}; code 1 "类初始化失败", "redis.ping return False", or
the repr of a store/cache error.
)doc";

inline constexpr const char* kDocFunSetSplitMode = R"doc(Switch the account to a selectable split mode for some hours.

mode           -- a split-mode ID from fun_search_split_mode("available"), e.g. "43210001"
effective_hour -- hours in force from now, strictly between 0 and 24 (e.g. 1 or 0.5)

Both must be given (the defaults "" and -1 mean "not given"). The change is logged in
strategy.param_modify_log and recorded in the cache hash "split_mode"; it expires by itself.
Result: {"code": 0, "msg": "success. start_time: <time>, effective_hour: <h>, split_mode:
<mode> "}; code 1 "类初始化失败", "redis.ping return False" or the repr of a store/cache
error; code 2 "mode, effective_hour 不能为空", "effective_hour 范围 0-24 ",
"mode <mode> 不在可选项目中".
)doc";

}  // namespace pelmora::docs
