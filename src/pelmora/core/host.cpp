#include "core/host.h"

namespace pelmora {

namespace {
// Borrowed for the life of the interpreter: the module object outlives every
// call that reaches it.
PyObject* g_module = nullptr;
}  // namespace

void set_module(py::module_ m) {
  Py_XDECREF(g_module);
  g_module = m.release().ptr();
}

py::object module_attr(const char* name) {
  return py::reinterpret_borrow<py::object>(g_module).attr(name);
}

bool is_exception(const py::error_already_set& e) { return e.matches(PyExc_Exception); }

}  // namespace pelmora
