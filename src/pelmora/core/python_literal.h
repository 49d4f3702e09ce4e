// Python literal notation, both ways: values written into statements as
// Python would print them, and cache texts in that notation read back without
// ever running them.
#pragma once
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>

namespace pelmora {
namespace py = pybind11;

// Appends the value's literal form: texts in single quotes (escaped as
// statement literals are), integers as digits, floats as float's own repr,
// bools as True/False; numpy scalars as the Python value they hold; anything
// else as its repr.
void write_python_literal(std::string& out, py::handle value);

// The plain Python value a numpy scalar holds (its item()); null for anything
// that is not one.
py::object numpy_item(py::handle value);

// Largest cache text the reader parses, in bytes of its UTF-8 form.
inline constexpr size_t kMaxLiteralBytes = size_t{4} << 20;

// Reads a cache text in literal notation (literals, containers and
// datetime.datetime/date/time/timedelta calls with literal arguments) and
// fails where eval would: the interpreter's own SyntaxError, NameError for a
// bare name, TypeError for a non-text; ValueError for anything that would run
// code or a text over kMaxLiteralBytes; RecursionError for nesting deeper
// than the reader follows.
py::object read_python_literal(py::handle text);

}  // namespace pelmora
