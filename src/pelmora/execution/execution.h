// Execution parameters: split modes (query, help, switch and reset), TWAP
// settings, and the account figures traders read before sending orders.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::execution {
namespace py = pybind11;

py::dict fun_update_TWAP_info(py::object self, py::object input_data);
py::dict fun_read_info(py::object self, py::object info);
py::dict fun_read_split_doc(py::object self);
py::dict fun_search_split_mode(py::object self, py::object mode);
py::dict fun_back_to_default_split_mode(py::object self);
py::dict fun_set_split_mode(py::object self, py::object mode, py::object effective_hour);

}  // namespace pelmora::execution
