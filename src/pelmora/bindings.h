// Registration entry points, one per source area; module.cpp calls them in
// the order the module defines its names.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora {
namespace py = pybind11;

// Private helpers for tests and benchmarks (names start with "_").
void bind_records(py::module_& m);
void bind_statements(py::module_& m);
void bind_python_literal(py::module_& m);
void bind_guard(py::module_& m);

}  // namespace pelmora
