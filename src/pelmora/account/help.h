// Help texts of the account object's set-up, connections and helpers. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocInit = R"doc(Open the account: connect, log in, look up the copy account.

account_id  -- trading account id, e.g. "80050021"
acquire_key -- the account's access key from the account register
user_id     -- the trader working on the account
env         -- "test" (default) or "prod" / "prod67" / "prod65": selects the Redis cache of
               redis_conn only; the comparison is exact and case-sensitive

Prints {'code': 0, 'msg': 'connect to database'} (or code 4003 with the error) and a login
line. A wrong key does not raise: login becomes 4003 and the object is not usable. An
unreachable ClickHouse store or Redis cache ends the constructor with the client's error.
)doc";

inline constexpr const char* kDocUnixToDatetime = R"doc(Date of a Unix time stamp, in UTC, as "%Y-%m-%d" text.

unix_timestamp -- seconds since 1970-01-01 00:00:00 UTC, integer or float

Returns e.g. "1970-01-02" for 86400, whatever the machine's time zone. A value outside the
date range raises Python's OverflowError/ValueError/OSError. Static: call it on the class.
)doc";

inline constexpr const char* kDocFunClickhouseConnect = R"doc((Re)open the object's ClickHouse client.

Sets client and connect_tag (0 on success, 4003 on failure) and prints
{'code': 0, 'msg': 'connect to database'} or {'code': 4003, 'msg': <repr of the error>}.
Returns None; never raises. The constructor calls it; call it again to recover an object
whose store connection failed.
)doc";

inline constexpr const char* kDocFunLogin = R"doc(Check the account and access key against the account register, and ping the cache.

A register row counts when it is valid now (zip_begindate <= now < zip_enddate). Prints
"----------连接数据库成功, 可进行查询 ...----------" when the account is valid, otherwise sets
login to 4003 and prints "-----------连接成功但是入参有误------------".
Returns None, or 0 when the Redis ping answered false (then prints
"Redis 连接失败：ping 无响应" and leaves login unchanged). Store and cache errors propagate.
)doc";

inline constexpr const char* kDocFunCheckReplicate = R"doc(Look up the account's copy account in factors.t_assetacc_match.

When a valid pairing exists (is_valid = 1), sets copy_account_id and if_copy = True; from then
on every signal upload is repeated for the copy account. Otherwise changes nothing.
Returns None; store errors propagate.
)doc";

inline constexpr const char* kDocContractFormat = R"doc(Does nothing; returns None. Kept for compatibility.
)doc";

inline constexpr const char* kDocRiskPlatformConnected = R"doc(True when the risk-control platform accepts a TCP connection on port 10911.

Waits at most 2 seconds; any failure (refused, unreachable, time-out) gives False. Sends no
data. The live reads call it before they query the platform.
)doc";

inline constexpr const char* kDocMysql248 = R"doc(Run one SQL statement on the desk's MySQL store (database trade) and return a DataFrame.

sql -- the statement text, sent unchanged

Returns a pandas DataFrame with the result's columns and rows (no rows: the columns only).
Opens a new connection per call and commits nothing. Errors of the MySQL client propagate;
a statement without a result set raises. Static.
)doc";

inline constexpr const char* kDocMyClass = R"doc(Runs one fixed ten-second task on a worker thread with a three-second limit.

    MyClass().run_with_timeout()   # prints "任务超时！" after about ten seconds
)doc";

inline constexpr const char* kDocMyClassInit = R"doc(A runner without state: run_with_timeout() runs the ten-second task with a three-second limit.
)doc";

inline constexpr const char* kDocMyTask = R"doc(Sleep ten seconds, then return "执行完成" (execution finished).
)doc";

inline constexpr const char* kDocRunWithTimeout = R"doc(Run my_task on a worker thread and wait at most three seconds for it.

Prints the task's result when it arrives in time; otherwise waits for the task to end and
prints "任务超时！" (task timed out) -- about ten seconds after the call. Returns None; never
raises (other errors are printed as ('任务出错：', <error>)).
)doc";

}  // namespace pelmora::docs
