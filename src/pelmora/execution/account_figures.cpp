// Figures kept for the account: minimum opening quantities from the risk
// configuration, and the balance and deal warnings other systems write to
// the cache.
#include <string>
#include <string_view>

#include "core/guard.h"
#include "core/python_literal.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"
#include "execution/execution.h"

namespace pelmora::execution {

namespace {

constexpr std::string_view kMinOpenQuery =
    "select name, min_amt from factors.risk_config where toString(now64()) >= zip_begindate and "
    "toString(now64()) <= zip_enddate and is_valid = 1 and category = '单笔最小开仓量' ";
constexpr std::string_view kMarketValueQuery =
    "SELECT account_id, market_value FROM factors.t_account_info WHERE toString(now64()) >= zip_begindate and "
    "toString(now64()) <= zip_enddate and trade_flag = 'T' and account_id = '{account}' ";

const StatementTemplates kTemplates{{"risk_min_open", kMinOpenQuery}, {"market_value", kMarketValueQuery}};

py::dict failed(const py::str& msg) { return result(1, msg); }

py::dict with_data(py::handle data) {
  py::dict answer;
  answer["code"] = 0;
  answer["data"] = data;
  return answer;
}

// The account's field of a cache hash written by another system; a missing
// field fails with the lookup's KeyError.
py::object warning_field(py::handle self, const char* hash) {
  return self.attr("redis_conn").attr("hgetall")(hash)[self.attr("account_id")];
}

}  // namespace

// One category is served, whatever `info` names.
py::dict fun_read_info(py::object self, py::object /*info*/) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        py::object found = self.attr("client").attr("query")(py::str(kMinOpenQuery.data(), kMinOpenQuery.size()));
        // A name in several rows keeps its first place and its last value.
        py::dict minimums;
        for (py::handle row : found.attr("result_set")) minimums[row[py::int_(0)]] = row[py::int_(1)];
        return result(0, "success", minimums);
      },
      failed);
}

py::dict fun_margin_used(py::object self) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        if (!stores::cache_answers(self.attr("redis_conn"))) return result(1, kPingFalse);
        // Another system writes the record: read as a literal, never run.
        py::object record = read_python_literal(warning_field(self, "balance_warning"));
        if (!py::isinstance<py::dict>(record))
          throw py::type_error("balance_warning record is not a dict: " + std::string(py::repr(record)));
        Statement q;
        q.fill(kMarketValueQuery, {{"account", text_of(self.attr("account_id"))}});
        py::object rows = self.attr("client").attr("query")(q.str()).attr("result_set");
        record["shares"] = rows[py::int_(0)][py::int_(1)];
        return with_data(record);
      },
      failed);
}

py::dict fun_last_trade(py::object self) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        if (!stores::cache_answers(self.attr("redis_conn"))) return result(1, kPingFalse);
        return with_data(warning_field(self, "deal_warning"));
      },
      failed);
}

}  // namespace pelmora::execution
