// Taking back a switch whose inserts failed after its close: the account must
// not be left without an open version while the caller sees only the error.
#include <tuple>

#include "core/python.h"
#include "core/statement.h"
#include "status/status.h"

namespace pelmora::status {

namespace {

// The versions the switch opened: the account's open versions of this key
// that begin at the switch's time (its close left no other open version).
constexpr std::string_view kRemoveOpened =
    " ALTER TABLE factors.t_account_info DELETE WHERE account_id = '{account}' and acquire_info_key = '{key}' "
    "and zip_begindate = '{now}' and zip_enddate = '" PELMORA_OPEN_END "' ";
// A switch earlier in the same second also closed a version at `now`; the
// versions it opened, which this switch then closed, begin at `now`.
constexpr std::string_view kClosedInSameSecond =
    " select count() n from factors.t_account_info where account_id = '{account}' and zip_enddate = '{now}' "
    "and zip_begindate = '{now}' ";
constexpr std::string_view kReopen =
    " ALTER TABLE factors.t_account_info UPDATE zip_enddate = '" PELMORA_OPEN_END "' WHERE account_id = "
    "'{account}' and zip_enddate = '{now}' ";
constexpr std::string_view kReopenSameSecond =
    " ALTER TABLE factors.t_account_info UPDATE zip_enddate = '" PELMORA_OPEN_END "' WHERE account_id = "
    "'{account}' and zip_enddate = '{now}' and zip_begindate = '{now}' ";

const StatementTemplates kTemplates{{"status_undo_remove", kRemoveOpened},
                                    {"status_undo_same_second", kClosedInSameSecond},
                                    {"status_undo_reopen", kReopen},
                                    {"status_undo_reopen_same_second", kReopenSameSecond}};

void undo(py::handle self, const std::string& account, const std::string& key, const std::string& now) {
  py::object client = self.attr("client");
  // Removed first: should the store go away between the two steps, the
  // account is left with no open version until the undo is run again,
  // rather than with two. Every step may be run again.
  client.attr("command")(Statement().fill(kRemoveOpened, {{"account", account}, {"key", key}, {"now", now}}).str());
  py::object count = client.attr("query")(
      Statement().fill(kClosedInSameSecond, {{"account", account}, {"now", now}}).str());
  const bool same_second = count.attr("result_set")[py::int_(0)][py::int_(0)].cast<long long>() > 0;
  client.attr("command")(
      Statement().fill(same_second ? kReopenSameSecond : kReopen, {{"account", account}, {"now", now}}).str());
}

}  // namespace

void keep_undo(py::handle self, const std::string& account, const std::string& key, const std::string& now) {
  self.attr(kPendingUndo) = py::make_tuple(account, key, now);
}

void drop_undo(py::handle self) { self.attr(kPendingUndo) = py::none(); }

void undo_switch(py::handle self) {
  try {
    finish_pending_undo(self);
  } catch (py::error_already_set& e) {
    if (!is_exception(e)) throw;
  } catch (const py::builtin_exception&) {
    // An odd store answer (its count not an integer) is a store failure too; a plain C++ error is a fault of ours.
  }
}

void finish_pending_undo(py::handle self) {
  py::object pending = py::getattr(self, kPendingUndo, py::none());
  if (pending.is_none()) return;
  auto [account, key, now] = pending.cast<std::tuple<std::string, std::string, std::string>>();
  undo(self, account, key, now);  // raises while the store is still away; kept for the next call
  drop_undo(self);
}

}  // namespace pelmora::status
