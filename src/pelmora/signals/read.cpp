// Signal read: the current signal per day and contract, or every live and
// replaced row, between two trading days.
#include <string>

#include "core/result.h"
#include "core/statement.h"
#include "reads/read_kinds.h"
#include "signals/signals.h"

namespace pelmora::signals {

namespace {

// Per day, account and contract the live row written last (continuous
// holding can leave several live).
constexpr std::string_view kReadClean =
    "select trading_day, account_id, contract, position, direction, signal_date, create_time, trade_time, "
    "user_id from factors.t_order_dtl where trading_day >= '{start}' and trading_day <= '{end}' and "
    "account_id = '{account}' and delete_tag is null order by trading_day, account_id, contract, "
    "update_time desc limit 1 by trading_day, account_id, contract";
// Live and replaced rows; deleted ones never come back.
constexpr std::string_view kReadHistory =
    "select trading_day, account_id, contract, position, direction, signal_date, create_time, trade_time, "
    "user_id from factors.t_order_dtl where trading_day >= '{start}' and trading_day <= '{end}' and "
    "account_id = '{account}' and (delete_tag is null or delete_tag = 2)";

const StatementTemplates kTemplates{
    {"signal_read_clean", kReadClean},
    {"signal_read_history", kReadHistory},
};


}  // namespace

py::dict fun_read_signal(py::object self, py::object start_date, py::object end_date, py::object clean) {
  if (!usable(self)) return init_failed();
  // Only the length is tested.
  if (py::len(start_date) != 8 || py::len(end_date) != 8) return result(2, kFieldsRejected);
  const std::string start = text_of(start_date);
  const std::string end = text_of(end_date);
  const std::string account = text_of(self.attr("account_id"));
  Statement q;
  q.fill(py::bool_(clean) ? kReadClean : kReadHistory, {{"start", start}, {"end", end}, {"account", account}});
  return result(0, "success", reads::history_rows(self.attr("client"), q.text(), {}));
}

}  // namespace pelmora::signals
