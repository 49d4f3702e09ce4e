// Tables handed back to researchers, and the answers that carry them.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::research {
namespace py = pybind11;

// pd.DataFrame(rows, columns=[names]) of a query result (result_set,
// column_names); an empty result keeps its columns.
py::object query_frame(py::handle found);

}  // namespace pelmora::research
