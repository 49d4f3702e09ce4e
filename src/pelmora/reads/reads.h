// Trading-record reads: positions, orders, deals and equity, live from the
// risk-control platform or as history from the store.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::reads {
namespace py = pybind11;

py::dict fun_read_position(py::object self, py::object start_date, py::object end_date, bool as_frame);
py::dict fun_read_order(py::object self, py::object start_date, py::object end_date, bool as_frame);
py::dict fun_read_deal(py::object self, py::object start_date, py::object end_date, bool as_frame);
py::dict fun_read_equity(py::object self, py::object start_date, py::object end_date, bool as_frame);

}  // namespace pelmora::reads
