// What differs between the four reads; the mechanism in read.cpp is shared.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

namespace pelmora::reads {
namespace py = pybind11;

// Turns the platform's "data" into the live answer (a result dictionary).
using LiveView = py::dict (*)(py::handle self, py::handle data);

// The live answer's "data" as a table.
using LiveTable = py::object (*)(py::handle data);

// Runs the history statement on the client and gives the rows returned.
using HistoryRows = py::list (*)(py::handle client, const std::string& statement,
                                 const std::vector<std::string>& text_columns);
// The same, as the table of those rows.
using HistoryFrame = py::object (*)(py::handle client, const std::string& statement,
                                    const std::vector<std::string>& text_columns);

struct ReadKind {
  std::string_view live_option;  // option of query_trader_all_info
  LiveView live_view;
  LiveTable live_table;

  // History query templates; markers {start}, {end}, {account}, {account8}.
  // An empty simulation template: simulation accounts have no such history.
  std::string_view simulation_query;
  std::string_view production_query;
  std::vector<std::string> text_columns;
  HistoryRows rows;
  HistoryFrame frame;

  std::string_view success_msg;
  int failure_code;
  bool failure_line_no;  // append "line_no: " and the failing line
};

extern const ReadKind kPositionRead;
extern const ReadKind kOrderRead;
extern const ReadKind kDealRead;
extern const ReadKind kEquityRead;

// The platform knows an account by the first eight characters of its id.
py::object platform_user(py::handle self);

// Live views.
py::dict position_summary(py::handle self, py::handle data);
py::dict pass_through(py::handle self, py::handle data);
py::dict fund_figures(py::handle self, py::handle data);
py::object table_of(py::handle data);
py::object one_row_table(py::handle data);

// History rows.
py::list history_rows(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns);
py::list equity_rows(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns);
py::object history_frame(py::handle client, const std::string& statement,
                         const std::vector<std::string>& text_columns);
py::object equity_frame(py::handle client, const std::string& statement,
                        const std::vector<std::string>& text_columns);

}  // namespace pelmora::reads
