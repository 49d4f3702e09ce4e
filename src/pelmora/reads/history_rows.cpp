// Rows of a history query, as the reads return them.
#include <array>

#include "core/clock.h"
#include "reads/read_kinds.h"
#include "records/query.h"

namespace pelmora::reads {

namespace {
constexpr std::array<const char*, 4> kEquityColumns = {"account_id", "trading_day", "balance",
                                                       "update_time"};
}  // namespace

py::list history_rows(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns) {
  return records::query_records(client, statement, text_columns);
}

// Fixed column names; the day and the snapshot time come out of the encoding
// as epoch milliseconds and are shown in the host's local time.
py::list equity_rows(py::handle client, const std::string& statement, const std::vector<std::string>&) {
  py::tuple names(kEquityColumns.size());
  for (size_t i = 0; i < kEquityColumns.size(); ++i) names[i] = py::str(kEquityColumns[i]);
  py::list rows = records::query_records(client, statement, {}, names);
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
