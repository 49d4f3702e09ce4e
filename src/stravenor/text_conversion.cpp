#include "text_conversion.h"

#include <cstring>

namespace stravenor {

py::object buffer_text(const char* buffer, std::size_t size) {
  const void* nul = std::memchr(buffer, '\0', size);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size;
  auto text = py::reinterpret_steal<py::object>(
      PyUnicode_Decode(buffer, static_cast<Py_ssize_t>(length), "gbk", "ignore"));
  if (!text) throw py::error_already_set();
  return text.attr("strip")();
}

}  // namespace stravenor
