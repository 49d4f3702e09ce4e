#include "account/account.h"
#include "core/clock.h"
#include "core/guard.h"
#include "core/python.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"

namespace pelmora::account {

namespace {
constexpr int kFailed = 4003;

constexpr std::string_view kLoginQuery =
    " select count(*) n from factors.t_account_info where '{now}' >= zip_begindate and '{now}' < "
    "zip_enddate and account_id = '{account}' and acquire_info_key = '{key}' ";
constexpr std::string_view kCopyAccountQuery =
    " select copy_account_id from factors.t_assetacc_match where account_id = '{account}' and "
    "is_valid = 1 ";

const StatementTemplates kTemplates{{"login", kLoginQuery}, {"copy_account", kCopyAccountQuery}};
}  // namespace

py::object fun_clickhouse_connect(py::object self) {
  guarded(
      [&] {
        py::object client = stores::open_clickhouse();
        self.attr("client") = client;
        self.attr("connect_tag") = 0;
        py::print(result(0, "connect to database"));
      },
      [&](const py::str& msg) {
        self.attr("connect_tag") = kFailed;
        py::print(result(kFailed, msg));
      });
  return py::none();
}

py::object fun_login(py::object self) {
  const std::string now = now_text("%Y-%m-%d %H:%M:%S");
  const std::string account = text_of(self.attr("account_id"));
  const std::string key = text_of(self.attr("acquire_key"));
  Statement q;
  q.fill(kLoginQuery, {{"now", now}, {"account", account}, {"key", key}});
  py::object found = self.attr("client").attr("query")(q.str());

  if (!py::bool_(self.attr("redis_conn").attr("ping")())) {
    py::print("Redis 连接失败：ping 无响应");
    return py::int_(0);
  }
  py::object count = found.attr("result_set")[py::int_(0)][py::int_(0)];
  if (count > py::int_(0)) {
    py::print("----------连接数据库成功, 可进行查询， 当前版本更新于20250829----------");
  } else {
    self.attr("login") = kFailed;
    py::print("-----------连接成功但是入参有误------------");
  }
  return py::none();
}

py::object fun_check_replicate(py::object self) {
  const std::string account = text_of(self.attr("account_id"));
  Statement q;
  q.fill(kCopyAccountQuery, {{"account", account}});
  py::object rows = self.attr("client").attr("query")(q.str()).attr("result_set");
  if (py::len(rows) > 0) {
    self.attr("copy_account_id") = rows[py::int_(0)][py::int_(0)];
    self.attr("if_copy") = true;
  }
  return py::none();
}

}  // namespace pelmora::account
