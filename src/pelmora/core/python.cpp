#include "core/python.h"

#include <pybind11/gil_safe_call_once.h>

namespace pelmora {

namespace {
// Set once at import and kept for the life of the interpreter (the storage is
// never destroyed, so no reference is dropped after finalization).
py::gil_safe_call_once_and_store<py::module_>& module_storage() {
  PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<py::module_> storage;
  return storage;
}
}  // namespace

void set_module(py::module_ m) {
  module_storage().call_once_and_store_result([&] { return std::move(m); });
}

py::object module_attr(const char* name) { return module_storage().get_stored().attr(name); }

bool is_exception(const py::error_already_set& e) { return e.matches(PyExc_Exception); }

}  // namespace pelmora
