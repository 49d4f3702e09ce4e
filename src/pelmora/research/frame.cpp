#include "research/frame.h"

#include "core/host.h"

namespace pelmora::research {

using namespace pybind11::literals;

py::object query_frame(py::handle found) {
  py::list columns(found.attr("column_names"));
  return module_attr("pd").attr("DataFrame")(found.attr("result_set"), "columns"_a = columns);
}

py::dict data_result(int code, py::handle data) {
  py::dict d;
  d["code"] = code;
  d["data"] = data;
  return d;
}

}  // namespace pelmora::research
