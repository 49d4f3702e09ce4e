#include "records/query.h"

#include <optional>

#include "core/host.h"
#include "records/build.h"
#include "records/frame.h"
#include "records/native.h"

namespace pelmora::records {
namespace {

// Attribute `name` of `owner`, or null when it has none.
py::object optional_attr(py::handle owner, const char* name) {
  py::object value = stolen(PyObject_GetAttrString(owner.ptr(), name));
  if (!value) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw_pending();
    PyErr_Clear();
  }
  return value;
}

// clickhouse-connect's own choice of zone for a date-time column of this
// statement: the column's, the query's, the server's or the local one, as
// its query context decides.
class ClientZones {
 public:
  ClientZones(py::handle client, const std::string& statement) : client_(client), statement_(statement) {}

  std::optional<TimeZoneRule> operator()(py::handle name, const std::string& type_zone) {
    if (!context_) {
      py::object make = optional_attr(client_, "create_query_context");
      if (!make) return std::nullopt;
      context_ = make(py::arg("query") = statement_);
      tzutil_ = module_attr("clickhouse_connect").attr("driver").attr("tzutil");
    }
    context_.attr("start_column")(name);
    py::object declared = type_zone.empty() ? py::none() : tzutil_.attr("resolve_zone")(type_zone);
    py::object active = context_.attr("active_tz")(declared);
    TimeZoneRule rule;
    if (active.is_none()) return rule;
    rule.utc_equivalent = py::bool_(tzutil_.attr("is_utc_timezone")(active));
    rule.zone = std::move(active);
    return rule;
  }

 private:
  py::handle client_;
  const std::string& statement_;
  py::object context_, tzutil_;
};

// The client's answer as Native bytes; null where it cannot give them.
py::object native_bytes(py::handle client, const std::string& statement) {
  py::object raw_query = optional_attr(client, "raw_query");
  if (!raw_query) return py::object();
  py::object data = raw_query(statement, py::arg("fmt") = "Native");
  // A substituted client may answer anything: only bytes are Native data.
  if (!PyBytes_Check(data.ptr())) return py::object();
  return data;
}

std::string_view view_of(const py::object& data) {
  return {PyBytes_AS_STRING(data.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(data.ptr()))};
}

std::optional<py::list> from_native(py::handle client, const std::string& statement,
                                    const std::vector<std::string>& text_columns, py::handle fixed_names) {
  py::object data = native_bytes(client, statement);
  if (!data) return std::nullopt;
  ClientZones zones(client, statement);
  return native_records(view_of(data), text_columns, fixed_names, std::ref(zones));
}

ValueEdit edit_of(const ColumnEdits& edits, py::handle name) {
  return edits ? edits(py::str(name).cast<std::string>()) : ValueEdit();
}

// The query path's records, and the names they carry.
struct QueriedRows {
  py::list rows;
  py::object names;
};
QueriedRows rows_by_query(py::handle client, const std::string& statement,
                          const std::vector<std::string>& text_columns, py::handle fixed_names) {
  py::object found = client.attr("query")(statement);
  py::object result_set = found.attr("result_set");
  if (py::len(result_set) == 0) return {py::list(), py::object()};
  py::object names = fixed_names ? borrowed(fixed_names.ptr()) : found.attr("column_names");
  return {build(result_set, names, text_columns), names};
}

}  // namespace

py::list query_records(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns,
                       py::handle fixed_names) {
  if (std::optional<py::list> rows = from_native(client, statement, text_columns, fixed_names)) return *rows;
  return rows_by_query(client, statement, text_columns, fixed_names).rows;
}


py::object query_records_frame(py::handle client, const std::string& statement,
                               const std::vector<std::string>& text_columns, py::handle fixed_names,
                               const ColumnEdits& edits) {
  py::object frame_type = module_attr("pd").attr("DataFrame");
  std::optional<RecordColumns> columns;
  if (py::object data = native_bytes(client, statement)) {
    ClientZones zones(client, statement);
    columns = native_record_columns(view_of(data), text_columns, fixed_names, std::ref(zones));
  }
  if (!columns) {
    // The rows' own path: the same records, edited, then the table of them.
    QueriedRows found = rows_by_query(client, statement, text_columns, fixed_names);
    if (found.names) {
      for (py::handle name : found.names) {
        const ValueEdit edit = edit_of(edits, name);
        if (!edit) continue;
        for (py::handle row : found.rows) row[name] = edit(row[name]);
      }
    }
    return frame_type(found.rows);
  }
  if (columns->rows == 0 || columns->values.empty()) return frame_type(py::list());
  std::vector<py::object> arrays;
  arrays.reserve(columns->values.size());
  for (size_t c = 0; c < columns->values.size(); ++c) {
    std::vector<py::object>& values = columns->values[c];
    py::handle name = PyTuple_GET_ITEM(columns->keys.ptr(), static_cast<Py_ssize_t>(c));
    if (const ValueEdit edit = edit_of(edits, name)) {
      for (py::object& value : values) value = edit(value);
    }
    arrays.push_back(column_array(values));
    values = {};  // the array holds what is needed
  }
  return frame_of(columns->keys, std::move(arrays));
}

std::optional<py::object> native_values_frame(py::handle client, const std::string& statement) {
  py::object data = native_bytes(client, statement);
  if (!data) return std::nullopt;
  ClientZones zones(client, statement);
  auto every_column = [](py::handle) { return true; };
  std::optional<NativeTable> table = native_table(view_of(data), py::handle(), every_column, std::ref(zones));
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
