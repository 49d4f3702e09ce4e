#pragma once

#include <pybind11/pybind11.h>

namespace stravenor {
namespace py = pybind11;

// query_trader_all_info(ip, port, userid, password, option)
py::dict query_trader_all_info(const py::args& args, const py::kwargs& kwargs);

void bind_snapshot_query(py::module_& m);

}  // namespace stravenor
