// Help texts of the trading switch. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocFunUpdateSts = R"doc(Switch the account on or off for trading in the account register.

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

}  // namespace pelmora::docs
