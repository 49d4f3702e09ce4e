// One mechanism for every view: the initialisation check, a guard around the
// ping and the read, and what each view reads. The stored texts come from
// another process, so they are read as literals and never run.
#include "caches/caches.h"
#include "core/guard.h"
#include "core/python_literal.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"

namespace pelmora::caches {

namespace {

constexpr std::string_view kMarketValueQuery =
    "SELECT account_id, market_value FROM factors.t_account_info WHERE toString(now64()) >= zip_begindate and "
    "toString(now64()) <= zip_enddate and trade_flag = 'T' and account_id = '{account}' ";

const StatementTemplates kTemplates{{"market_value", kMarketValueQuery}};

// The account's field of a cache hash written by another system; a missing
// field fails with the lookup's KeyError.
py::object warning_field(py::handle self, py::handle conn, const char* hash) {
  return conn.attr("hgetall")(hash)[self.attr("account_id")];
}

template <typename Read>
py::dict cache_view(py::handle self, Read&& read) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        py::object conn = self.attr("redis_conn");
        if (!stores::cache_answers(conn)) return result(1, kPingFalse);
        return data_result(0, read(conn));
      },
      failure);
}

}  // namespace

py::dict fun_redis_position(py::object self) {
  return cache_view(self, [&](const py::object& conn) {
    // A missing entry reads as None, which the reader refuses as eval would.
    return read_python_literal(conn.attr("get")(py::str(self.attr("account_id"))));
  });
}

py::dict fun_redis_deal(py::object self, py::object dte) {
  return cache_view(self, [&](const py::object& conn) -> py::object {
    // Joined as texts are, so a non-text account id fails inside the guard.
    py::object key = py::object(self.attr("account_id")) + py::str("_") + py::str(dte);
    py::list deals;
    for (py::handle text : conn.attr("lrange")(key, 0, -1)) deals.append(read_python_literal(text));
    return deals;
  });
}

py::dict fun_margin_used(py::object self) {
  return cache_view(self, [&](const py::object& conn) {
    py::object record = read_python_literal(warning_field(self, conn, "balance_warning"));
    if (!py::isinstance<py::dict>(record))
      throw py::type_error("balance_warning record is not a dict: " + std::string(py::repr(record)));
    Statement q;
    q.fill(kMarketValueQuery, {{"account", text_of(self.attr("account_id"))}});
    py::object rows = self.attr("client").attr("query")(q.str()).attr("result_set");
    record["shares"] = rows[py::int_(0)][py::int_(1)];
    return record;
  });
}

py::dict fun_last_trade(py::object self) {
  return cache_view(self, [&](const py::object& conn) { return warning_field(self, conn, "deal_warning"); });
}

}  // namespace pelmora::caches
