#include "records/native_frame.h"

#include "core/host.h"
#include "records/frame.h"
#include "records/native.h"

namespace pelmora::records {

namespace {

std::optional<py::object> frame_by_columns(std::string_view data, const std::vector<std::string>& text_columns,
                                           py::handle fixed_names, const ZoneOf& zone_of, const ColumnEdits& edits) {
  std::optional<RecordColumns> columns = native_record_columns(data, text_columns, fixed_names, zone_of);
  if (!columns) return std::nullopt;
  if (columns->rows == 0 || columns->values.empty()) return module_attr("pd").attr("DataFrame")(py::list());
  std::vector<py::object> arrays;
  arrays.reserve(columns->values.size());
  for (size_t c = 0; c < columns->values.size(); ++c) {
    std::vector<py::object>& values = columns->values[c];
    py::handle name = PyTuple_GET_ITEM(columns->keys.ptr(), static_cast<Py_ssize_t>(c));
    if (const ValueEdit edit = edits ? edits(py::str(name).cast<std::string>()) : ValueEdit()) {
      for (py::object& value : values) value = edit(value);
    }
    arrays.push_back(column_array(values));
    values = {};  // the array holds what is needed
  }
  return frame_of(columns->keys, std::move(arrays));
}

}  // namespace

std::optional<py::object> native_records_frame(std::string_view data, const std::vector<std::string>& text_columns,
                                               py::handle fixed_names, const ZoneOf& zone_of,
                                               const ColumnEdits& edits) {
  try {
    return frame_by_columns(data, text_columns, fixed_names, zone_of, edits);
  } catch (py::error_already_set&) {
    // Column by column meets a bad value in another order than row by row:
    // the rows' own pass names the error their read would give.
    native_records(data, text_columns, fixed_names, zone_of);
    throw;
  }
}

std::optional<py::object> native_values_frame(std::string_view data, const ZoneOf& zone_of) {
  // Every date-time shows its zone here, as the query result's values do.
  auto every_column = [](py::handle) { return true; };
  std::optional<NativeTable> table = native_table(data, py::handle(), every_column, zone_of);
  if (!table) return std::nullopt;
  if (table->rows == 0 || table->cells.empty()) {
    return module_attr("pd").attr("DataFrame")(py::list(), py::arg("columns") = py::list(table->keys));
  }
  std::vector<py::object> arrays;
  arrays.reserve(table->cells.size());
  for (std::vector<py::object>& cells : table->cells) {
    arrays.push_back(column_array(cells));
    cells = {};
  }
  return frame_of(table->keys, std::move(arrays));
}

}  // namespace pelmora::records
