// Signal delete: live signals of one day, order type and trade time (and
// optionally contracts) marked deleted, with the deleting user and time.
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/result.h"
#include "core/statement.h"
#include "signals/signals.h"

namespace pelmora::signals {

namespace {

// Both are followed by the contract clause; the count also by a blank.
constexpr std::string_view kCount =
    "select count(*) n from factors.t_order_dtl where trading_day='{day}' and trade_time == '{trade_time}' and "
    "order_typ == '{order_typ}' and account_id == '{account}' and delete_tag is null ";
constexpr std::string_view kMark =
    "ALTER TABLE factors.t_order_dtl UPDATE update_id = '{user}', update_time = '{time}', delete_tag = 1 WHERE "
    "trading_day='{day}' and trade_time == '{trade_time}' and order_typ == '{order_typ}' and account_id == "
    "'{account}' and delete_tag is null ";
// Opens the contract clause; the contracts follow in their literal forms, then ")".
constexpr std::string_view kContractClause = "and contract in (";

const StatementTemplates kTemplates{
    {"signal_delete_count", kCount},
    {"signal_delete", kMark},
    {"signal_delete_contracts", kContractClause},
};


// "and contract in ('a', 'b')", each contract in its literal form; nothing
// for no contracts.
void contract_clause(Statement& s, py::handle contracts) {
  if (py::len(contracts) == 0) return;
  s.sql(kContractClause);
  const char* sep = "";
  for (py::handle c : contracts) {
    s.sql(sep).literal(c);
    sep = ", ";
  }
  s.sql(")");
}

}  // namespace

py::dict fun_delete_signal(py::object self, py::object trading_day, py::object order_typ,
                           py::object trade_time, py::object contract) {
  if (contract.is_none()) contract = py::list();
  if (!usable(self)) return init_failed();
  const py::str empty("");
  if (trading_day.equal(empty) || order_typ.equal(empty) || Py_TYPE(contract.ptr()) != &PyList_Type)
    return result(2, kFieldsRejected);
  const std::string now = now_text("%Y-%m-%d %H:%M:%S.%f").substr(0, 26);

  const std::string day = text_of(trading_day);
  const std::string time_of_day = text_of(trade_time);
  const std::string type = text_of(order_typ);
  const std::string account = text_of(self.attr("account_id"));
  const std::vector<Statement::Value> where = {
      {"day", day}, {"trade_time", time_of_day}, {"order_typ", type}, {"account", account}};

  Statement count_query;
  count_query.fill(kCount, where);
  contract_clause(count_query, contract);
  count_query.sql(" ");
  py::object client = self.attr("client");
  py::object count = client.attr("query")(count_query.str()).attr("result_set")[py::int_(0)][py::int_(0)];

  if (count > py::int_(0)) {
    const std::string user = text_of(self.attr("user_id"));
    std::vector<Statement::Value> mark_values = where;
    mark_values.emplace_back("user", user);
    mark_values.emplace_back("time", now);
    Statement mark;
    mark.fill(kMark, mark_values);
    contract_clause(mark, contract);
    client.attr("command")(mark.str());
  }
  return result(0, "删除" + py::str(count).cast<std::string>() + " " + now);
}

}  // namespace pelmora::signals
