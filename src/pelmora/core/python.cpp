#include "core/python.h"

#include <pybind11/gil_safe_call_once.h>

#include <memory>

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

std::string double_text(double value, char format, int precision, int flags) {
  std::unique_ptr<char, decltype(&PyMem_Free)> text(PyOS_double_to_string(value, format, precision, flags, nullptr),
                                                   &PyMem_Free);
  if (!text) throw py::error_already_set();
  return text.get();
}

}  // namespace pelmora
