// Rows of a history query, as the reads return them.
#include <array>

#include "core/clock.h"
#include "core/records.h"
#include "reads/read_kinds.h"

namespace pelmora::reads {

namespace {
constexpr std::array<const char*, 4> kEquityColumns = {"account_id", "trading_day", "balance",
                                                       "update_time"};
}  // namespace

py::list history_rows(py::handle found, const std::vector<std::string>& text_columns) {
  return records::to_records(found.attr("result_set"), found.attr("column_names"), text_columns);
}

// Fixed column names; the day and the snapshot time come out of the encoding
// as epoch milliseconds and are shown in the host's local time.
py::list equity_rows(py::handle found, const std::vector<std::string>&) {
  py::list names;
  for (const char* n : kEquityColumns) names.append(n);
  py::list rows = records::to_records(found.attr("result_set"), names, {});
  const py::int_ thousand(1000);
  for (py::handle row : rows) {
    py::object day = row[py::str("trading_day")];
    row[py::str("trading_day")] = local_time_text(day / thousand, "%Y-%m-%d");
    py::object at = row[py::str("update_time")];
    row[py::str("update_time")] = local_time_text(at / thousand, "%Y-%m-%d %H:%M:%S");
  }
  return rows;
}

}  // namespace pelmora::reads
