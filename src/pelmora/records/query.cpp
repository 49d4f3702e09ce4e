#include "records/query.h"

#include <optional>

#include "core/python.h"
#include "records/build.h"
#include "records/native.h"
#include "records/native_frame.h"

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

constexpr long kBlockInfoRevision = 51903;  // from here on a Native block opens with its block info

// The client's answer as Native bytes (null where it cannot give them), and
// whether its blocks open with their block info.
struct NativeAnswer {
  py::object data;
  bool block_info = false;
  explicit operator bool() const { return static_cast<bool>(data); }
};

NativeAnswer native_bytes(py::handle client, const std::string& statement) {
  py::object raw_query = optional_attr(client, "raw_query");
  if (!raw_query) return {};
  // The protocol revision the client settled on: the query path gets columns' zones in their
  // types from 54337 on (and blocks with their block info), so the Native read asks for the same.
  long revision = 0;
  if (py::object version = optional_attr(client, "protocol_version"); version && PyLong_CheckExact(version.ptr())) {
    revision = PyLong_AsLong(version.ptr());
    if (revision == -1 && PyErr_Occurred()) throw_pending();
  }
  py::object data = revision > 0
                        ? raw_query(statement, py::arg("fmt") = "Native",
                                    py::arg("settings") = py::dict(py::arg("client_protocol_version") = revision))
                        : raw_query(statement, py::arg("fmt") = "Native");
  // A substituted client may answer anything: only bytes are Native data.
  if (!PyBytes_Check(data.ptr())) return {};
  return {std::move(data), revision >= kBlockInfoRevision};
}

std::string_view view_of(const NativeAnswer& answer) {
  return {PyBytes_AS_STRING(answer.data.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(answer.data.ptr()))};
}

std::optional<py::list> from_native(py::handle client, const std::string& statement,
                                    const std::vector<std::string>& text_columns, py::handle fixed_names) {
  NativeAnswer data = native_bytes(client, statement);
  if (!data) return std::nullopt;
  ClientZones zones(client, statement);
  return native_records(view_of(data), text_columns, fixed_names, std::ref(zones), data.block_info);
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
  if (NativeAnswer data = native_bytes(client, statement)) {
    ClientZones zones(client, statement);
    if (std::optional<py::object> frame = native_records_frame(view_of(data), text_columns, fixed_names,
                                                                std::ref(zones), edits, data.block_info)) {
      return *frame;
    }
  }
  // The rows' own path: the same records, edited, then the table of them.
  QueriedRows found = rows_by_query(client, statement, text_columns, fixed_names);
  if (found.names) {
    for (py::handle name : found.names) {
      const ValueEdit edit = edit_of(edits, name);
      if (!edit) continue;
      for (py::handle row : found.rows) row[name] = edit(row[name]);
    }
  }
  return module_attr("pd").attr("DataFrame")(found.rows);
}

std::optional<py::object> query_values_frame(py::handle client, const std::string& statement) {
  NativeAnswer data = native_bytes(client, statement);
  if (!data) return std::nullopt;
  ClientZones zones(client, statement);
  return native_values_frame(view_of(data), std::ref(zones), data.block_info);
}

}  // namespace pelmora::records
