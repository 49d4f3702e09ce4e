// Views of the live cache an outside writer keeps for the account: its
// position and the deals of a day, read back from their literal texts.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::caches {
namespace py = pybind11;

py::dict fun_redis_position(py::object self);
py::dict fun_redis_deal(py::object self, py::object dte);

}  // namespace pelmora::caches
