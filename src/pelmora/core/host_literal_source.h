// Cache text as the literal reader sees it, and the SyntaxError eval raises at
// a place in it.
#pragma once
#include <pybind11/pybind11.h>

#include <cstddef>
#include <string_view>

namespace pelmora::literal {
namespace py = pybind11;

// Raises `type` (SyntaxError or a subclass) with eval's location details:
// file "<string>", line number, column and the line's text.
[[noreturn]] void syntax_error(std::string_view src, size_t pos, std::string_view message,
                               PyObject* type = PyExc_SyntaxError);

// 1-based line number of a byte position.
size_t line_of(std::string_view src, size_t pos);

}  // namespace pelmora::literal
