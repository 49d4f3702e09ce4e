// The trading switch: read the account's current versions, close its open
// versions, open one new version per current one with the new flag.
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/result.h"
#include "core/python.h"
#include "core/statement.h"
#include "core/write_lock.h"
#include "status/status.h"

namespace pelmora::status {

namespace {

constexpr std::string_view kNoCurrentVersion = "账户当前无有效记录, 未做修改";

// env is copied too: the split-mode lookup matches the register's env, so a
// version written without it would drop the account from that lookup.
constexpr std::string_view kCurrentQuery =
    "select account_id, account_key, market_value, strategy, trade_flag, acquire_info_key, user_id, env from "
    "factors.t_account_info where '{now}' >= zip_begindate and '{now}' < zip_enddate and account_id = "
    "'{account}' and acquire_info_key = '{key}' ";
constexpr std::string_view kCloseStatement =
    " ALTER TABLE factors.t_account_info UPDATE zip_enddate = '{now}' WHERE account_id = '{account}' and "
    "zip_enddate = '" PELMORA_OPEN_END "' ";
constexpr std::string_view kInsertOpening = " INSERT into factors.t_account_info (";
constexpr std::string_view kInsertClosing = "); ";

const StatementTemplates kTemplates{{"status_current", kCurrentQuery},
                                    {"status_close", kCloseStatement},
                                    {"status_insert_opening", kInsertOpening}};

// The new versions' INSERT texts: each current row with the new flag and a
// validity from now on. Built before anything is written, so a result of an
// unexpected shape fails while the register is still untouched.
std::vector<std::string> new_versions(py::handle found, const char* flag, const std::string& now) {
  py::list columns(found.attr("column_names"));
  py::ssize_t flag_at = -1;
  for (py::ssize_t i = 0; i < static_cast<py::ssize_t>(columns.size()); ++i)
    if (py::str(columns[i]).equal(py::str("trade_flag"))) flag_at = i;
  if (flag_at < 0) throw py::key_error("trade_flag");
  columns.append("zip_begindate");
  columns.append("zip_enddate");

  std::vector<std::string> inserts;
  for (py::handle row : found.attr("result_set")) {
    py::list values(py::reinterpret_borrow<py::object>(row));
    values[flag_at] = flag;
    values.append(py::str(now));
    values.append(kOpenEnd);
    inserts.push_back(Statement().insert_row(kInsertOpening, columns, values, kInsertClosing).text());
  }
  return inserts;
}

}  // namespace

py::dict fun_update_sts(py::object self, py::object trade_flag) {
  if (!usable(self)) return init_failed();
  if (!trade_flag.equal(py::bool_(true)) && !trade_flag.equal(py::bool_(false))) return result(2, kFieldsRejected);
  const char* flag = py::bool_(trade_flag) ? "T" : "F";

  const std::string account = text_of(self.attr("account_id"));
  const AccountWriteLock lock(self, {account});
  if (lock.busy()) return result(1, kWriteBusy);
  finish_pending_undo(self);
  const std::string now = now_text("%Y-%m-%d %H:%M:%S");
  const std::string key = text_of(self.attr("acquire_key"));

  Statement read;
  read.fill(kCurrentQuery, {{"now", now}, {"account", account}, {"key", key}});
  py::object found = self.attr("client").attr("query")(read.str());
  // Closing without a version to carry on would leave the account with none.
  if (py::len(found.attr("result_set")) == 0) return result(1, kNoCurrentVersion);
  const std::vector<std::string> inserts = new_versions(found, flag, now);

  // Kept before the close goes out and dropped only once the switch is
  // complete: an interrupt at any point leaves it for the next call.
  keep_undo(self, account, key, now);
  Statement close;
  close.fill(kCloseStatement, {{"now", now}, {"account", account}});
  try {
    self.attr("client").attr("command")(close.str());
    for (const std::string& insert : inserts) self.attr("client").attr("command")(py::str(insert));
  } catch (py::error_already_set& e) {
    if (is_exception(e)) undo_switch(self);
    throw;
  } catch (const std::exception&) {
    undo_switch(self);
    throw;
  }
  drop_undo(self);

  std::string msg = " 资金账号 ";
  msg.append(account).append(" trade flag is ").append(flag).append("  ").append(now);
  return result(0, msg);
}

}  // namespace pelmora::status
