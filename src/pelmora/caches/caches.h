// Views of the live cache outside writers keep for the account: its position
// and the deals of a day, read back from their literal texts, and the balance
// and deal warnings.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::caches {
namespace py = pybind11;

py::dict fun_redis_position(py::object self);
py::dict fun_redis_deal(py::object self, py::object dte);
py::dict fun_margin_used(py::object self);
py::dict fun_last_trade(py::object self);

}  // namespace pelmora::caches
