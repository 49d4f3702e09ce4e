// The stores an object talks to. Server addresses come from the module
// constants (build-time defaults) at each connection; the rest is fixed.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::account {
namespace py = pybind11;

inline constexpr int kClickHousePort = 23875;
inline constexpr const char* kClickHouseUser = "pelmora";
inline constexpr const char* kClickHousePassword = "Ramblex_qp_5!";

inline constexpr int kMySqlPort = 3306;
inline constexpr const char* kMySqlUser = "pelmora";
inline constexpr const char* kMySqlPassword = "quorvanix_5736#";
inline constexpr const char* kMySqlDatabase = "trade";
inline constexpr const char* kMySqlCharset = "utf8mb4";

inline constexpr int kRedisPort = 6379;
inline constexpr const char* kCentralRedisPassword = "!Tvelmox@kpj";
inline constexpr const char* kProdRedisPassword = "81vbn@47plm";
inline constexpr double kRedisSocketTimeout = 3.0;

inline constexpr int kRiskPlatformPort = 10911;
inline constexpr const char* kRiskPlatformPortText = "10911";
inline constexpr double kProbeTimeout = 2.0;

py::object central_host();
py::object risk_platform_host();

// clickhouse_connect.get_client(host=..., port=..., username=..., password=...)
py::object open_clickhouse();
// The Redis cache the environment name selects (exact, case-sensitive).
py::object redis_for_env(py::handle env);
// The central cache, whatever the environment.
py::object central_redis();
// pymysql.connect(...) to the central MySQL store.
py::object open_mysql();

}  // namespace pelmora::account
