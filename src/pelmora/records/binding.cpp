#include <pybind11/stl.h>

#include "bindings.h"
#include "records/build.h"
#include "records/native.h"
#include "records/query.h"

namespace pelmora {
namespace {

// Native bytes alone: date-times in text columns shown naive (UTC fields).
py::object native_records(const py::bytes& data, const std::vector<std::string>& text_columns) {
  char* buffer = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(data.ptr(), &buffer, &size) < 0) throw py::error_already_set();
  auto naive = [](py::handle, const std::string&) { return std::optional<records::TimeZoneRule>(records::TimeZoneRule{}); };
  std::optional<py::list> rows =
      records::native_records(std::string_view(buffer, static_cast<size_t>(size)), text_columns, py::handle(), naive);
  if (!rows) return py::none();
  return *rows;
}

}  // namespace

void bind_records(py::module_& m) {
  m.def("_history_records", &records::build, py::arg("result_set"), py::arg("column_names"),
        py::arg("text_columns") = std::vector<std::string>{},
        "Row dicts of a query result, as the pandas DataFrame -> to_json(records) -> json.loads "
        "pipeline gives them; text_columns are turned into str() first.");
  m.def("_native_records", &native_records, py::arg("data"), py::arg("text_columns") = std::vector<std::string>{},
        "The same rows from ClickHouse Native bytes; None when a column type is not decoded natively.");
  m.def(
      "_query_records",
      [](py::handle client, const std::string& statement, const std::vector<std::string>& text_columns) {
        return records::query_records(client, statement, text_columns);
      },
      py::arg("client"), py::arg("statement"), py::arg("text_columns") = std::vector<std::string>{},
      "The rows of a statement run on a clickhouse-connect client, as the history reads get them.");
}

}  // namespace pelmora
