#include <pybind11/stl.h>

#include "bindings.h"
#include "records/build.h"

namespace pelmora {

void bind_records(py::module_& m) {
  m.def("_history_records", &records::build, py::arg("result_set"), py::arg("column_names"),
        py::arg("text_columns") = std::vector<std::string>{},
        "Row dicts of a query result, as the pandas DataFrame -> to_json(records) -> json.loads "
        "pipeline gives them; text_columns are turned into str() first.");
}

}  // namespace pelmora
