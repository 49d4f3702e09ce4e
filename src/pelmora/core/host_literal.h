// Host literal forms, both ways: values written into statements as the host
// would print them, and cache texts in that notation read back without ever
// running them.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

namespace pelmora {
namespace py = pybind11;

// Appends the value's host literal form: texts in single quotes (escaped as
// statement literals are), integers as digits, floats as float's own repr,
// bools as True/False; numpy scalars as the Python value they hold; anything
// else as its repr.
void write_host_literal(std::string& out, py::handle value);

// Reads a cache text in host literal notation (literals, containers and
// datetime.datetime/date/time/timedelta calls with literal arguments) and
// fails where eval would: NameError for a bare name, TypeError for None,
// SyntaxError for bad syntax, ValueError for anything else that would run code.
py::object read_host_literal(py::handle text);

}  // namespace pelmora
