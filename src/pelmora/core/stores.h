// The stores an object talks to. Server addresses come from the module
// constants (build-time defaults, substitutable) at each connection; ports,
// users and passwords are the fixed facts of endpoints.env.
#pragma once
#include <pybind11/pybind11.h>

#include <string_view>

#include "pelmora_endpoints.h"

namespace pelmora::stores {
namespace py = pybind11;

// "23875" -> 23875 at compile time; ports are kept once, as text.
constexpr int port_number(std::string_view text) {
  int n = 0;
  for (char c : text) n = n * 10 + (c - '0');
  return n;
}

inline constexpr std::string_view kClickHousePort = PELMORA_CLICKHOUSE_PORT;
inline constexpr const char* kClickHouseUser = PELMORA_CLICKHOUSE_USER;
inline constexpr const char* kClickHousePassword = PELMORA_CLICKHOUSE_PASSWORD;
inline constexpr const char* kResearchUser = PELMORA_RESEARCH_USER;
inline constexpr const char* kResearchPassword = PELMORA_RESEARCH_PASSWORD;

inline constexpr std::string_view kMySqlPort = PELMORA_MYSQL_PORT;
inline constexpr const char* kMySqlUser = PELMORA_MYSQL_USER;
inline constexpr const char* kMySqlPassword = PELMORA_MYSQL_PASSWORD;
inline constexpr const char* kMySqlDatabase = PELMORA_MYSQL_DATABASE;
inline constexpr const char* kMySqlCharset = PELMORA_MYSQL_CHARSET;

inline constexpr std::string_view kRedisPort = PELMORA_REDIS_PORT;
inline constexpr const char* kCentralRedisPassword = PELMORA_CENTRAL_REDIS_PASSWORD;
inline constexpr const char* kProdRedisPassword = PELMORA_PROD_REDIS_PASSWORD;
inline constexpr double kRedisSocketTimeout = 3.0;

// The live reads pass the port as text, the probe as a number.
inline constexpr std::string_view kRiskPlatformPort = PELMORA_RISK_PLATFORM_PORT;
inline constexpr const char* kRiskPlatformPassword = PELMORA_RISK_PLATFORM_PASSWORD;
inline constexpr double kProbeTimeout = 2.0;

py::object central_host();
py::object risk_platform_host();

// clickhouse_connect.get_client(host=..., port=..., username=..., password=...)
py::object open_clickhouse(const char* user = kClickHouseUser, const char* password = kClickHousePassword);
// The Redis cache the environment name selects (exact, case-sensitive).
py::object redis_for_env(py::handle env);
// The central cache, whatever the environment.
py::object central_redis();
// pymysql.connect(...) to the central MySQL store.
py::object open_mysql();

// A cache connection answers its ping with true.
bool cache_answers(py::handle conn);

// Calls close() on a client, connection or cursor when the call ends, also on
// error, so no session is left open on the server between calls.
class Closing {
 public:
  explicit Closing(py::object obj) : obj_(std::move(obj)) {}
  Closing(const Closing&) = delete;
  Closing& operator=(const Closing&) = delete;
  ~Closing();
  const py::object& get() const { return obj_; }

 private:
  py::object obj_;
};

}  // namespace pelmora::stores
