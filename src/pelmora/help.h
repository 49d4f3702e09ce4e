// Help texts of the module and its class. A member's signature line is made
// where each member is registered, from its arguments (core/help_text.h).
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

}  // namespace pelmora::docs
