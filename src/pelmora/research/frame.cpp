#include "research/frame.h"

#include "core/python.h"
#include "records/query.h"

namespace pelmora::research {

using namespace pybind11::literals;

namespace {

// The result's columns when it keeps them (clickhouse-connect's QueryResult
// parses column by column); none for a result that offers rows only or holds
// no rows.
py::object filled_columns(py::handle found) {
  if (!py::hasattr(found, "result_columns")) return py::none();
  py::object columns = found.attr("result_columns");
  if (py::len(columns) == 0 || py::len(columns[py::int_(0)]) == 0) return py::none();
  return columns;
}

}  // namespace

py::object query_frame(py::handle found) {
  py::list names(found.attr("column_names"));
  py::object frame_type = module_attr("pd").attr("DataFrame");
  py::object columns = filled_columns(found);
  if (columns.is_none()) return frame_type(found.attr("result_set"), "columns"_a = names);

  // The same table as from the rows, without turning the columns into rows
  // and back. Keyed by position, so repeated column names stay apart.
  py::dict by_position;
  std::size_t i = 0;
  for (py::handle column : columns) by_position[py::int_(i++)] = column;
  py::object frame = frame_type(by_position);
  frame.attr("columns") = names;
  return frame;
}

py::object statement_frame(py::handle client, const std::string& statement) {
  if (std::optional<py::object> frame = records::query_values_frame(client, statement)) return *frame;
  return query_frame(client.attr("query")(statement));
}

}  // namespace pelmora::research
