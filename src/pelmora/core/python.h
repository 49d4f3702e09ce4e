// The module's own namespace: the Python modules it uses (pandas, redis, ...)
// and the server constants are looked up there at call time, so callers and
// tests can substitute any of them.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

namespace pelmora {
namespace py = pybind11;

void set_module(py::module_ m);
py::object module_attr(const char* name);

// self.<name>(args...) through ordinary attribute lookup, as a caller's
// override or a subclass expects.
template <typename... Args>
py::object call_method(py::handle self, const char* name, Args&&... args) {
  return self.attr(name)(std::forward<Args>(args)...);
}

// True when a caught Python error is an Exception (not KeyboardInterrupt,
// SystemExit, ...): only those become result dictionaries.
bool is_exception(const py::error_already_set& e);

// The interpreter's text of a double (PyOS_double_to_string); the defaults
// give float's repr.
std::string double_text(double value, char format = 'r', int precision = 0, int flags = Py_DTSF_ADD_DOT_0);

}  // namespace pelmora
