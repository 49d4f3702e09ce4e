#include "core/host_literal_source.h"

#include <algorithm>

#include "core/py_ref.h"

namespace pelmora::literal {

size_t line_of(std::string_view src, size_t pos) {
  pos = std::min(pos, src.size());
  return 1 + static_cast<size_t>(std::count(src.begin(), src.begin() + pos, '\n'));
}

void syntax_error(std::string_view src, size_t pos, std::string_view message, PyObject* type) {
  pos = std::min(pos, src.size());
  size_t line_begin = 0;
  if (pos > 0) {
    const size_t newline = src.rfind('\n', pos - 1);
    if (newline != std::string_view::npos) line_begin = newline + 1;
  }
  size_t line_end = src.find('\n', pos);
  if (line_end == std::string_view::npos) line_end = src.size();
  // Columns count characters, not UTF-8 bytes.
  long column = 1;
  for (size_t i = line_begin; i < pos; ++i) column += (static_cast<unsigned char>(src[i]) & 0xC0) != 0x80;

  py::object text = checked(PyUnicode_DecodeUTF8(src.data() + line_begin,
                                                 static_cast<Py_ssize_t>(line_end - line_begin), "replace"));
  py::object msg = checked(PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  py::object where = py::make_tuple("<string>", line_of(src, pos), column, text);
  py::object error = checked(PyObject_CallFunctionObjArgs(type, msg.ptr(), where.ptr(), nullptr));
  PyErr_SetObject(type, error.ptr());
  throw_pending();
}

}  // namespace pelmora::literal
