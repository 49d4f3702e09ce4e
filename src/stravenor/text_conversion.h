// Turning the library's text buffers into Python texts.
#pragma once

#include <cstddef>

#include <pybind11/pybind11.h>

namespace stravenor {
namespace py = pybind11;

// The bytes up to the first NUL, or all `size` bytes when there is none
// (never past the buffer), decoded as GBK dropping undecodable bytes, then
// stripped of white space at both ends (Python's GBK codec and str.strip).
py::object buffer_text(const char* buffer, std::size_t size);

template <std::size_t N>
py::object buffer_text(const char (&buffer)[N]) {
  return buffer_text(buffer, N);
}

}  // namespace stravenor
