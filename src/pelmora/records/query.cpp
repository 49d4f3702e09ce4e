#include "records/query.h"

#include <optional>

#include "core/host.h"
#include "records/build.h"
#include "records/native.h"

namespace pelmora::records {
namespace {

constexpr long kBlockInfoRevision = 51903;  // from here on a Native block opens with its block info

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

std::optional<py::list> from_native(py::handle client, const std::string& statement,
                                    const std::vector<std::string>& text_columns, py::handle fixed_names) {
  py::object raw_query = optional_attr(client, "raw_query");
  if (!raw_query) return std::nullopt;
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
  if (!PyBytes_Check(data.ptr())) return std::nullopt;
  const std::string_view bytes(PyBytes_AS_STRING(data.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(data.ptr())));
  ClientZones zones(client, statement);
  return native_records(bytes, text_columns, fixed_names, std::ref(zones), revision >= kBlockInfoRevision);
}

}  // namespace

py::list query_records(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns,
                       py::handle fixed_names) {
  if (std::optional<py::list> rows = from_native(client, statement, text_columns, fixed_names)) return *rows;
  py::object found = client.attr("query")(statement);
  py::object result_set = found.attr("result_set");
  if (py::len(result_set) == 0) return py::list();
  py::object names = fixed_names ? py::reinterpret_borrow<py::object>(fixed_names) : found.attr("column_names");
  return build(result_set, names, text_columns);
}

}  // namespace pelmora::records
