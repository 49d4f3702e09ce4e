#include <pybind11/stl.h>

#include "account/account.h"
#include "account/endpoints.h"
#include "core/clock.h"
#include "core/host.h"
#include "core/result.h"
#include "core/statement.h"

namespace pelmora::account {

namespace {
constexpr int kFailed = 4003;
}  // namespace

py::object fun_clickhouse_connect(py::object self) {
  try {
    py::object client = open_clickhouse();
    self.attr("client") = client;
    self.attr("connect_tag") = 0;
    py::print(result(0, "connect to database"));
  } catch (py::error_already_set& e) {
    if (!is_exception(e)) throw;
    py::str msg = error_repr(e);
    self.attr("connect_tag") = kFailed;
    py::print(result(kFailed, msg));
  }
  return py::none();
}

py::object fun_login(py::object self) {
  const std::string now = now_text("%Y-%m-%d %H:%M:%S");
  Statement q;
  q.sql(" select count(*) n from factors.t_account_info where '")
      .quoted(now)
      .sql("' >= zip_begindate and '")
      .quoted(now)
      .sql("' < zip_enddate and account_id = '")
      .quoted(self.attr("account_id"))
      .sql("' and acquire_info_key = '")
      .quoted(self.attr("acquire_key"))
      .sql("' ");
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
  Statement q;
  q.sql(" select copy_account_id from factors.t_assetacc_match where account_id = '")
      .quoted(self.attr("account_id"))
      .sql("' and is_valid = 1 ");
  py::object rows = self.attr("client").attr("query")(q.str()).attr("result_set");
  if (py::len(rows) > 0) {
    self.attr("copy_account_id") = rows[py::int_(0)][py::int_(0)];
    self.attr("if_copy") = true;
  }
  return py::none();
}

}  // namespace pelmora::account
