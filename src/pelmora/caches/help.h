// Help texts of the cache views. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocFunRedisPosition = R"doc(The account's live position as kept in the cache by the position writer.

Result: {"code": 0, "data": <the stored value, normally a dict per contract>};
code 1 "类初始化失败", "redis.ping return False", or the repr of the error (cache
unreachable, no entry for the account, a stored text that is not a literal). Never raises.
)doc";

inline constexpr const char* kDocFunRedisDeal = R"doc(The account's deals of one day as kept in the cache by the deal writer.

dte -- the day, in the form the writer uses in its keys ("<account_id>_<dte>"),
       e.g. "20240927"

Result: {"code": 0, "data": [deal, ...]} ([] when there are none); code 1
"类初始化失败", "redis.ping return False", or the repr of the error. Never raises.
)doc";

inline constexpr const char* kDocFunLastTrade = R"doc(The account's deal-warning text from the cache (hash "deal_warning"), unchanged.

Result: {"code": 0, "data": <text>}; code 1 "类初始化失败", "redis.ping return False", or the
repr of the error (e.g. KeyError('<account>') when there is no entry).
)doc";

inline constexpr const char* kDocFunMarginUsed = R"doc(The account's balance-warning record from the cache, with its market value.

Reads hash "balance_warning" (a dict written by the risk system) and sets "shares" to the
account's market_value from the account register.
Result: {"code": 0, "data": {..., "shares": <market value>}}; code 1 "类初始化失败",
"redis.ping return False", or the repr of the error (no entry, no valid register row,
store or cache failure).
)doc";

}  // namespace pelmora::docs
