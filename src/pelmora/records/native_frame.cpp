#include "records/native_frame.h"

#include "core/python.h"
#include "records/direct_array.h"
#include "records/frame.h"
#include "records/native.h"

namespace pelmora::records {

ValueEdit edit_of(const ColumnEdits& edits, py::handle name) {
  return edits ? edits(py::str(name).cast<std::string>()) : ValueEdit();
}

namespace {

std::optional<py::object> frame_by_columns(std::string_view data, const std::vector<std::string>& text_columns,
                                           py::handle fixed_names, const ZoneOf& zone_of, const ColumnEdits& edits,
                                           bool block_info) {
  // An edited column keeps its values, to be edited one by one.
  auto edited = [&edits](py::handle name) { return static_cast<bool>(edit_of(edits, name)); };
  std::optional<RecordColumns> columns = native_record_columns(data, text_columns, fixed_names, zone_of, edited, block_info);
  if (!columns) return std::nullopt;
  if (columns->rows == 0 || columns->values.empty()) return module_attr("pd").attr("DataFrame")(py::list());
  std::vector<py::object> arrays;
  arrays.reserve(columns->values.size());
  for (size_t c = 0; c < columns->values.size(); ++c) {
    std::vector<py::object>& values = columns->values[c];
    py::handle name = PyTuple_GET_ITEM(columns->keys.ptr(), static_cast<Py_ssize_t>(c));
    const ValueEdit edit = edit_of(edits, name);
    if (columns->arrays[c]) {
      arrays.push_back(std::move(columns->arrays[c]));
      continue;
    }
    if (edit) {
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
                                               const ColumnEdits& edits, bool block_info) {
  try {
    return frame_by_columns(data, text_columns, fixed_names, zone_of, edits, block_info);
  } catch (py::error_already_set&) {
    // Column by column meets a bad value in another order than row by row:
    // the rows' own pass names the error their read would give.
    native_records(data, text_columns, fixed_names, zone_of, block_info);
    throw;
  }
}

std::optional<py::object> native_values_frame(std::string_view data, const ZoneOf& zone_of, bool block_info) {
  // Every date-time shows its zone here, as the query result's values do.
  auto every_column = [](py::handle) { return true; };
  std::optional<NativeTable> table = native_table(data, py::handle(), every_column, zone_of, true, block_info);
  if (!table) return std::nullopt;
  if (table->rows == 0 || table->cells.empty()) {
    return module_attr("pd").attr("DataFrame")(py::list(), py::arg("columns") = py::list(table->keys));
  }
  std::vector<py::object> arrays;
  arrays.reserve(table->cells.size());
  py::object text_dtype;
  for (size_t c = 0; c < table->cells.size(); ++c) {
    const DirectColumn& located = table->direct[c];
    if (made_direct(located, text_dtype)) {
      arrays.push_back(direct_array(located, CellValues::Query, text_dtype));
      continue;
    }
    if (located.kind != DirectKind::None) table->read_cells(c);
    arrays.push_back(column_array(table->cells[c]));
    table->cells[c] = {};
  }
  return frame_of(table->keys, std::move(arrays));
}

}  // namespace pelmora::records
