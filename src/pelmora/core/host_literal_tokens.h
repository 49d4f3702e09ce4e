// Values of single literal tokens of a cache text: numbers, and the contents
// of text and bytes literals with their escapes resolved as the host's
// compiler resolves them.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "core/host_literal_lex.h"

namespace pelmora::literal {
namespace py = pybind11;

// The int (any size), float or imaginary complex a number token stands for.
// `scratch` is reused between calls.
py::object number_value(std::string_view src, const Token& t, std::string& scratch);

// Appends a string token's contents to `out`: UTF-8 for texts, where escaped
// lone surrogates appear in their three-byte form (decode with
// "surrogatepass"; `surrogates` is set when one was written), raw bytes for
// bytes literals. Malformed escapes raise eval's SyntaxError.
void append_string_body(std::string_view src, const Token& t, std::string& out, bool& surrogates);

}  // namespace pelmora::literal
