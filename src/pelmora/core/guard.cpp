#include "core/guard.h"

#include <stdexcept>

namespace pelmora::detail {

// pybind11's own translation of a C++ exception leaving a bound function
// (detail::translate_exception), row for row, so a guarded member answers
// with the error the same failure raises elsewhere.
py::error_already_set as_python_error(const std::exception& e) {
  if (auto* builtin = dynamic_cast<const py::builtin_exception*>(&e)) {
    builtin->set_error();
  } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
    PyErr_SetString(PyExc_MemoryError, e.what());
  } else if (dynamic_cast<const std::domain_error*>(&e) || dynamic_cast<const std::invalid_argument*>(&e) ||
             dynamic_cast<const std::length_error*>(&e) || dynamic_cast<const std::range_error*>(&e)) {
    PyErr_SetString(PyExc_ValueError, e.what());
  } else if (dynamic_cast<const std::out_of_range*>(&e)) {
    PyErr_SetString(PyExc_IndexError, e.what());
  } else if (dynamic_cast<const std::overflow_error*>(&e)) {
    PyErr_SetString(PyExc_OverflowError, e.what());
  } else {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return py::error_already_set();
}

}  // namespace pelmora::detail
