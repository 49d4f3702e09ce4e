// The signal upload: checks and filter of the caller's table, the comparison
// with the last accepted upload, then the writer for the account and the
// replication to its copy account.
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/python.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/upload_rows.h"
#include "core/write_lock.h"
#include "signals/columns.h"
#include "signals/publish.h"
#include "signals/signal_hash.h"
#include "signals/signals.h"

namespace pelmora::signals {

namespace {
using namespace pybind11::literals;

constexpr std::string_view kManyDays = "输入数据中的日期有不同值, 目前只支持单次上传单一日期......";

py::object column(py::handle table, const char* name) { return table[py::str(name)]; }

py::list names(std::initializer_list<const char*> list) {
  py::list out;
  for (const char* n : list) out.append(n);
  return out;
}

size_t distinct_rows(py::handle table, std::initializer_list<const char*> by) {
  return py::len(table.attr("drop_duplicates")("subset"_a = names(by)));
}

// Absent optional columns get their defaults; the names of the other absent
// ones make the message, one text after another.
std::string complete_columns(py::handle table) {
  std::string missing;
  py::object present = table.attr("columns");
  for (const char* name : kRequiredColumns) {
    if (present.contains(name)) continue;
    const std::string_view n(name);
    if (n == "signal_date" || n == "trade_time") {
      table[py::str(name)] = py::str("");
    } else if (n == "feature") {
      table[py::str(name)] = py::int_(0);
    } else {
      missing += "输入数据缺少 " + std::string(n) + " 列";
    }
  }
  return missing;
}

py::object at_least_zero(py::handle values) {
  PyObject* out = PyObject_RichCompare(values.ptr(), py::int_(0).ptr(), Py_GE);
  if (!out) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(out);
}

// The well-formed rows; the others are dropped without a message.
py::object well_formed(py::handle table) {
  py::object keep = column(table, "direction").attr("isin")(names({"L", "S"})) &
                    at_least_zero(column(table, "position")) &
                    column(table, "order_typ").attr("isin")(names({"call_auction", "intraday_trading", "before_close"})) &
                    column(table, "trade_time").attr("isin")(names({"D", "N", ""})) &
                    column(table, "feature").attr("isin")(py::make_tuple(0, 1));
  return table[keep].attr("copy")();
}

// The accepted rows as the snapshot keeps them: by contract, counted from 0,
// without the two times.
py::object snapshot_of(py::handle rows) {
  return rows.attr("sort_values")("contract")
      .attr("reset_index")("drop"_a = true)
      .attr("drop")("columns"_a = names({"create_time", "update_time"}));
}

// The day the reads, the delete and the executors look for: eight digits.
bool is_day_text(py::handle day) {
  if (!PyUnicode_Check(day.ptr())) return false;
  const std::string text = day.cast<std::string>();
  return text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos;
}

std::string day_refused(py::handle day) {
  return "trading_day 须为八位日期文本, 如 \"20241008\", 输入为 " + py::repr(day).cast<std::string>() +
         ", 请修改后重新执行";
}

// The signal table's columns as the store types them.
std::string unwritable_signal_cell(py::handle rows, bool hash_written) {
  using K = ColumnKind;
  return unwritable_cell(rows, {{"trading_day", K::Text}, {"contract", K::Text}, {"position", K::Integer},
                                {"direction", K::Text}, {"signal_date", K::Text}, {"order_typ", K::Text},
                                {"trade_time", K::Text}, {"feature", K::Integer}, {"account_id", K::Text},
                                {"user_id", K::Text}},
                         hash_written);
}

std::vector<std::string> accounts_written(py::handle self) {
  std::vector<std::string> accounts{text_of(self.attr("account_id"))};
  if (copy_paired(self)) accounts.push_back(text_of(self.attr("copy_account_id")));
  return accounts;
}

std::string counts_msg(size_t input, size_t accepted, const std::string& time) {
  return "输入" + std::to_string(input) + ", 有效" + std::to_string(accepted) + " " + time;
}

}  // namespace

py::object fun_update_signal(py::object self, py::object input_data, py::object use_redis,
                             py::object continuous_holding, py::object /*simple*/) {
  // One clock reading: creation and update time, soft-delete time, messages.
  const std::string now = now_text("%Y-%m-%d %H:%M:%S.%f").substr(0, 26);
  if (!usable(self)) return init_failed();

  py::object table = module_attr("pd").attr("DataFrame")(input_data);
  const std::string missing = complete_columns(table);
  if (!missing.empty()) return result(2, missing);
  const size_t pairs = distinct_rows(table, {"trading_day", "contract"});
  if (py::len(table) != pairs) return result(2, kDuplicateRows);
  if (pairs == 0) return result(2, kEmptyInput);
  if (distinct_rows(table, {"trading_day"}) != 1) return result(2, kManyDays);
  // As a plain value (a numpy scalar's repr would name its type in the message).
  py::object day = column(table, "trading_day").attr("head")(1).attr("tolist")()[py::int_(0)];
  if (!is_day_text(day)) return result(2, day_refused(day));
  table = table[column_list(kRequiredColumns)];
  const size_t input_length = py::len(table);

  const bool to_redis = py::bool_(use_redis);
  const bool continuous = py::bool_(continuous_holding);
  py::object rows = well_formed(table);
  rows[py::str("account_id")] = self.attr("account_id");
  rows[py::str("user_id")] = self.attr("user_id");
  rows[py::str("create_time")] = py::str(now);
  rows[py::str("update_time")] = py::str(now);
  rows[py::str("data_source")] = py::str(to_redis ? "redis" : "clickhouse");
  if (continuous) rows[py::str("feature")] = column(rows, "feature") + py::int_(kFeatureRaise);

  const size_t accepted = py::len(rows);
  if (accepted > kMaxUploadRows) return result(2, too_many_rows(accepted));
  // Every cell must have a literal its column takes, and a record a hash
  // cannot hold must raise, both before anything is written for either
  // account. With use_redis the main side's hash pass meets such a record
  // before its first write; without it, the copy's hash (written whatever
  // use_redis says) would meet it only after the main side's writes.
  const bool hash_written = to_redis || copy_paired(self);
  const std::string unwritable = unwritable_signal_cell(rows, hash_written);
  if (!unwritable.empty()) return result(2, unwritable);
  if (!to_redis && hash_written) hash::encode(hash::records_of(rows));

  py::object snapshot = snapshot_of(rows);
  if (py::bool_(self.attr("update_df").attr("equals")(snapshot)))
    return result(0, "和上次一致, " + counts_msg(input_length, accepted, now));

  const AccountWriteLock lock(self, accounts_written(self));
  if (lock.busy()) return result(1, kWriteBusy);
  publish(self, rows, kMainSide, to_redis, continuous, now);
  self.attr("fun_replicate_save")("tmp_mat"_a = rows, "continuous_holding"_a = continuous_holding);
  // Only a complete upload counts as the last one: a failed one sent again
  // is uploaded again.
  self.attr("update_df") = snapshot;
  return result(0, counts_msg(input_length, accepted, now));
}

}  // namespace pelmora::signals
