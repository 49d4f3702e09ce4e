#include "text_conversion.h"

#include <cstring>

namespace stravenor {

py::object buffer_text(const char* buffer, std::size_t size) {
  const void* nul = std::memchr(buffer, '\0', size);
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size;
  py::bytes raw(buffer, length);
  py::object decode = py::module_::import("codecs").attr("decode");
  py::object text = decode(raw, "gbk", "ignore");
  return text.attr("strip")();
}

}  // namespace stravenor
