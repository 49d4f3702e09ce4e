// Raw CPython results held in pybind11's own owning handle, for the per-value
// loops where a pybind11 cast per value would cost more than the work itself.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora {
namespace py = pybind11;

// Takes ownership of a new reference (null stays null).
inline py::object stolen(PyObject* owned) noexcept { return py::reinterpret_steal<py::object>(owned); }
// Adds a reference to a borrowed one.
inline py::object borrowed(PyObject* p) noexcept { return py::reinterpret_borrow<py::object>(p); }

// A C API call failed and left a Python error pending: carry it out.
[[noreturn]] inline void throw_pending() { throw py::error_already_set(); }

// Takes ownership of a C API result, raising if the call failed.
inline py::object checked(PyObject* result) {
  if (result == nullptr) throw_pending();
  return stolen(result);
}

[[noreturn]] inline void raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  throw_pending();
}

}  // namespace pelmora
