#include <pybind11/stl.h>

#include "bindings.h"
#include "records/build.h"
#include "records/native.h"
#include "records/native_frame.h"
#include "records/query.h"

namespace pelmora {
namespace {

std::string_view bytes_view(const py::bytes& data) {
  char* buffer = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(data.ptr(), &buffer, &size) < 0) throw py::error_already_set();
  return {buffer, static_cast<size_t>(size)};
}

// Native bytes alone: date-times shown naive (UTC fields).
std::optional<records::TimeZoneRule> naive(py::handle, const std::string&) { return records::TimeZoneRule{}; }

template <typename T>
py::object or_none(std::optional<T> value) {
  if (!value) return py::none();
  return std::move(*value);
}

py::object native_records(const py::bytes& data, const std::vector<std::string>& text_columns) {
  return or_none(records::native_records(bytes_view(data), text_columns, py::handle(), naive));
}

py::tuple native_frames(const py::bytes& data, const std::vector<std::string>& text_columns) {
  return py::make_tuple(or_none(records::native_records_frame(bytes_view(data), text_columns, py::handle(), naive, {})),
                        or_none(records::native_values_frame(bytes_view(data), naive)));
}

}  // namespace

void bind_records(py::module_& m) {
  m.def("_history_records", &records::build, py::arg("result_set"), py::arg("column_names"),
        py::arg("text_columns") = std::vector<std::string>{},
        "Row dicts of a query result, as the pandas DataFrame -> to_json(records) -> json.loads "
        "pipeline gives them; text_columns are turned into str() first.");
  m.def("_native_records", &native_records, py::arg("data"), py::arg("text_columns") = std::vector<std::string>{},
        "The same rows from ClickHouse Native bytes; None when a column type is not decoded natively.");
  m.def("_native_frames", &native_frames, py::arg("data"), py::arg("text_columns") = std::vector<std::string>{},
        "The tables of Native bytes: (the rows' DataFrame, the result's DataFrame), each None when a column "
        "type is not decoded natively.");
  m.def(
      "_query_frame",
      [](py::handle client, const std::string& statement, const std::vector<std::string>& text_columns) {
        return records::query_records_frame(client, statement, text_columns, py::handle(), {});
      },
      py::arg("client"), py::arg("statement"), py::arg("text_columns") = std::vector<std::string>{},
      "pd.DataFrame of _query_records' rows, as the history reads make it with as_frame=True.");
  m.def(
      "_values_frame",
      [](py::handle client, const std::string& statement) {
        return or_none(records::query_values_frame(client, statement));
      },
      py::arg("client"), py::arg("statement"),
      "pd.DataFrame(result_set, columns=column_names) of a statement, from its Native columns; None when the "
      "client or a column type takes the query path.");
  m.def(
      "_query_records",
      [](py::handle client, const std::string& statement, const std::vector<std::string>& text_columns) {
        return records::query_records(client, statement, text_columns);
      },
      py::arg("client"), py::arg("statement"), py::arg("text_columns") = std::vector<std::string>{},
      "The rows of a statement run on a clickhouse-connect client, as the history reads get them.");
}

}  // namespace pelmora
