#include "signals/publish.h"

#include <string>

#include "core/statement.h"
#include "signals/signal_hash.h"

namespace pelmora::signals {

namespace {
using namespace pybind11::literals;

constexpr std::string_view kInsertOpening = "INSERT into factors.t_order_dtl (";
constexpr std::string_view kInsertClosing = ");";
constexpr std::string_view kReplace =
    "ALTER TABLE factors.t_order_dtl UPDATE delete_tag = 2 , update_time = '{time}' WHERE "
    "trading_day='{day}' and account_id == '{account}' and delete_tag is null";
constexpr std::string_view kReplaceCopy =
    "ALTER TABLE factors.t_order_dtl UPDATE delete_tag = 2 WHERE trading_day='{day}' and account_id "
    "== '{account}' and delete_tag is null";

const StatementTemplates kTemplates{
    {"signal_insert", kInsertOpening},
    {"signal_replace", kReplace},
    {"signal_replace_copy", kReplaceCopy},
};

void replace_live_rows(py::handle client, const Side& side, py::handle day, py::handle account,
                       std::string_view time) {
  const std::string day_text = text_of(day);
  const std::string account_text = text_of(account);
  Statement s;
  s.fill(side.replace, {{"time", time}, {"day", day_text}, {"account", account_text}});
  client.attr("command")(s.str());
}

// The largest trading_day of the rows (Python's ValueError for none).
py::object trading_day_of(py::handle rows) {
  return py::module_::import("builtins").attr("max")(rows[py::str("trading_day")]);
}

// One statement for all rows: the store keeps all of them or none.
void insert_rows(py::handle client, py::handle rows) {
  Statement s;
  s.insert_rows(kInsertOpening, rows.attr("columns"),
                rows.attr("itertuples")("index"_a = false, "name"_a = py::none()), kInsertClosing);
  client.attr("command")(s.str());
}

}  // namespace

const Side kMainSide{"account_id", "redis_conn", kReplace};
const Side kCopySide{"copy_account_id", "copy_redis_conn", kReplaceCopy};

void publish(py::handle self, py::handle rows, const Side& side, bool write_hash, bool continuous,
             std::string_view time) {
  py::object day = trading_day_of(rows);
  py::object account = self.attr(side.account_attr);
  if (write_hash) {
    hash::write(self.attr(side.cache_attr), day, hash::records_of(rows), text_of(account), continuous);
  }
  py::object client = self.attr("client");
  // Sent before the inserts: the store applies it to the rows that exist now.
  if (!continuous) replace_live_rows(client, side, day, account, time);
  insert_rows(client, rows);
}

}  // namespace pelmora::signals
