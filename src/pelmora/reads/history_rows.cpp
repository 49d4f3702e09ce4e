// Rows of a history query, as the reads return them.
#include <array>

#include "core/clock.h"
#include "reads/read_kinds.h"
#include "records/query.h"

namespace pelmora::reads {

namespace {

constexpr std::array<const char*, 4> kEquityColumns = {"account_id", "trading_day", "balance",
                                                       "update_time"};

py::tuple equity_names() {
  py::tuple names(kEquityColumns.size());
  for (size_t i = 0; i < kEquityColumns.size(); ++i) names[i] = py::str(kEquityColumns[i]);
  return names;
}

// The day and the snapshot time come out of the encoding as epoch
// milliseconds and are shown in the machine's local time.
records::ValueEdit equity_edit(const std::string& column) {
  const char* fmt = column == "trading_day" ? "%Y-%m-%d" : column == "update_time" ? "%Y-%m-%d %H:%M:%S" : nullptr;
  if (fmt == nullptr) return {};
  return [fmt](py::handle millis) -> py::object { return local_time_text(millis / py::int_(1000), fmt); };
}

}  // namespace

py::list history_rows(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns) {
  return records::query_records(client, statement, text_columns);
}

py::object history_frame(py::handle client, const std::string& statement,
                         const std::vector<std::string>& text_columns) {
  return records::query_records_frame(client, statement, text_columns, py::handle(), {});
}

// Fixed column names; the two times shown as local texts.
py::list equity_rows(py::handle client, const std::string& statement, const std::vector<std::string>&) {
  py::tuple names = equity_names();
  py::list rows = records::query_records(client, statement, {}, names);
  for (const char* column : {"trading_day", "update_time"}) {
    const records::ValueEdit edit = equity_edit(column);
    const py::str key(column);
    for (py::handle row : rows) row[key] = edit(row[key]);
  }
  return rows;
}

py::object equity_frame(py::handle client, const std::string& statement, const std::vector<std::string>&) {
  return records::query_records_frame(client, statement, {}, equity_names(), equity_edit);
}

}  // namespace pelmora::reads
