#include "core/stores.h"

#include <array>
#include <string_view>

#include "core/python.h"

namespace pelmora::stores {

using namespace pybind11::literals;

namespace {

constexpr std::array<std::string_view, 3> kProdEnvs = {"prod", "prod67", "prod65"};

bool is_prod_env(py::handle env) {
  if (!py::isinstance<py::str>(env)) return false;
  auto name = env.cast<std::string>();
  for (auto prod : kProdEnvs)
    if (name == prod) return true;
  return false;
}

// One immediate retry on a dropped connection (an idle one the server closed),
// none on a time-out: the client's default retries with back-off would turn a
// stalled cache's 3 s into more than half a minute, and a write that timed out
// may still land, so sending it again is no cure.
py::object retry_policy(const py::object& redis) {
  py::tuple dropped = py::make_tuple(redis.attr("exceptions").attr("ConnectionError"));
  return redis.attr("retry").attr("Retry")(redis.attr("backoff").attr("NoBackoff")(), 1,
                                           "supported_errors"_a = dropped);
}

py::object open_redis(py::handle host, const char* password) {
  py::object redis = module_attr("redis");
  return redis.attr("Redis")("host"_a = host, "port"_a = port_number(kRedisPort), "password"_a = password,
                             "db"_a = 0, "decode_responses"_a = true, "socket_timeout"_a = kRedisSocketTimeout,
                             "retry"_a = retry_policy(redis));
}

}  // namespace

py::object central_host() { return module_attr("CENTRAL_HOST"); }
py::object risk_platform_host() { return module_attr("RISK_PLATFORM_HOST"); }

py::object open_clickhouse(const char* user, const char* password) {
  return module_attr("clickhouse_connect")
      .attr("get_client")("host"_a = central_host(), "port"_a = port_number(kClickHousePort),
                          "username"_a = user, "password"_a = password);
}

py::object redis_for_env(py::handle env) {
  if (is_prod_env(env)) return open_redis(module_attr("PROD_REDIS_HOSTS")[env], kProdRedisPassword);
  return central_redis();
}

py::object central_redis() { return open_redis(central_host(), kCentralRedisPassword); }

py::object open_mysql() {
  return module_attr("pymysql").attr("connect")(
      "host"_a = central_host(), "port"_a = port_number(kMySqlPort), "user"_a = kMySqlUser,
      "password"_a = kMySqlPassword, "database"_a = kMySqlDatabase, "charset"_a = kMySqlCharset);
}

bool cache_answers(py::handle conn) { return py::bool_(conn.attr("ping")()); }

Closing::~Closing() {
  try {
    obj_.attr("close")();
  } catch (py::error_already_set& e) {
    // A failing close must not hide the call's own outcome.
    e.discard_as_unraisable("closing a store handle");
  }
}

}  // namespace pelmora::stores
