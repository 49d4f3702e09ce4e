// The one read mechanism: initialisation check, live or history, the date
// check, the query and the rows; read_kinds.cpp holds what differs.
#include <string>

#include "core/clock.h"
#include "core/guard.h"
#include "core/python.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"
#include "reads/read_kinds.h"
#include "reads/reads.h"

namespace pelmora::reads {

namespace {

constexpr std::string_view kPlatformDown = "风控平台连接失败, 请检查网络连接";
constexpr std::string_view kPlatformRefused = "风控平台实时数据查询失败, 请检查账号信息";
constexpr std::string_view kBadDate = "日期格式有误, 请修改后重新执行";
constexpr std::string_view kNoSimulationOrders = "仿真环境暂不提供实时/历史委托查询服务。";

bool is_production(py::handle self) {
  py::object first = self.attr("account_id")[py::int_(0)];
  return first.equal(py::str("8"));
}

py::dict live(py::handle self, const ReadKind& kind, bool as_frame) {
  if (!py::bool_(self.attr("risk_platform_connected")())) return result(1, kPlatformDown);
  py::object snapshot = module_attr("query_trader_all_info")(
      stores::risk_platform_host(), py::str(stores::kRiskPlatformPort.data(), stores::kRiskPlatformPort.size()),
      platform_user(self), stores::kRiskPlatformPassword, py::str(kind.live_option.data(), kind.live_option.size()));
  if (!py::bool_(snapshot[py::str("登录成功")])) return result(1, kPlatformRefused);
  py::dict answer = kind.live_view(self, snapshot[py::str("data")]);
  // Failures answer as they do without a table.
  if (as_frame && py::int_(answer["code"]).cast<int>() == 0) answer["data"] = kind.live_table(answer["data"]);
  return answer;
}

py::dict history(py::handle self, const ReadKind& kind, const std::string& start,
                 const std::string& end, bool as_frame) {
  StepLine at;
  return guarded(
      [&]() -> py::dict {
        const bool production = PELMORA_STEP(at, is_production(self));
        std::string_view tmpl = production ? kind.production_query : kind.simulation_query;
        if (tmpl.empty()) return result(2, kNoSimulationOrders);

        const std::string account = PELMORA_STEP(at, text_of(self.attr("account_id")));
        const std::string account8 = PELMORA_STEP(at, text_of(platform_user(self)));
        Statement q;
        q.fill(tmpl, {{"start", start}, {"end", end}, {"account", account}, {"account8", account8}});

        // No rows give an empty list (or table), whatever the columns are. One
        // step for both forms: a failure names the same line either way.
        py::object data =
            PELMORA_STEP(at, as_frame ? kind.frame(self.attr("client"), q.str(), kind.text_columns)
                                      : py::object(kind.rows(self.attr("client"), q.str(), kind.text_columns)));
        return result(0, kind.success_msg, data);
      },
      [&](py::str msg) {
        if (kind.failure_line_no) msg = py::str(std::string(msg) + "line_no: " + std::to_string(at.line));
        return result(kind.failure_code, msg);
      });
}

py::dict read(py::handle self, const ReadKind& kind, py::handle start_date, py::handle end_date, bool as_frame) {
  if (!usable(self)) return init_failed();
  if (py::len(start_date) + py::len(end_date) == 0 && is_production(self)) return live(self, kind, as_frame);
  if (py::len(start_date) != 8 || py::len(end_date) != 8) return result(2, kBadDate);
  // Not guarded: a well-sized text that is no date raises to the caller.
  const std::string start = iso_date(start_date);
  const std::string end = iso_date(end_date);
  return history(self, kind, start, end, as_frame);
}

}  // namespace

py::object platform_user(py::handle self) {
  return self.attr("account_id")[py::slice(0, 8, 1)];
}

py::dict fun_read_position(py::object self, py::object start_date, py::object end_date, bool as_frame) {
  return read(self, kPositionRead, start_date, end_date, as_frame);
}
py::dict fun_read_order(py::object self, py::object start_date, py::object end_date, bool as_frame) {
  return read(self, kOrderRead, start_date, end_date, as_frame);
}
py::dict fun_read_deal(py::object self, py::object start_date, py::object end_date, bool as_frame) {
  return read(self, kDealRead, start_date, end_date, as_frame);
}
py::dict fun_read_equity(py::object self, py::object start_date, py::object end_date, bool as_frame) {
  return read(self, kEquityRead, start_date, end_date, as_frame);
}

}  // namespace pelmora::reads
