// Tables handed back to researchers, and the answers that carry them.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

namespace pelmora::research {
namespace py = pybind11;

// pd.DataFrame(rows, columns=[names]) of a query result (result_set,
// column_names); an empty result keeps its columns.
py::object query_frame(py::handle found);

// The same table of a statement run on a ClickHouse client, made from the
// answer's Native columns where the client and the column types allow.
py::object statement_frame(py::handle client, const std::string& statement);

}  // namespace pelmora::research
