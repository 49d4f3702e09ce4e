#include "core/upload_rows.h"

#include <cmath>

#include "core/python_literal.h"

namespace pelmora {

namespace {

constexpr std::size_t kShownValue = 60;

// numpy scalars as the plain value they stand for, as the literal writer writes them.
py::object plain(py::handle value) {
  if (PyUnicode_Check(value.ptr()) || PyLong_Check(value.ptr()) || PyFloat_Check(value.ptr()))
    return py::reinterpret_borrow<py::object>(value);
  if (py::object item = numpy_item(value)) return item;
  return py::reinterpret_borrow<py::object>(value);
}

bool fits(py::handle raw, ColumnKind kind, bool hash_refuses_nulls) {
  py::object value = plain(raw);
  PyObject* v = value.ptr();
  if (PyUnicode_Check(v)) return true;
  if (hash_refuses_nulls && (v == Py_None || PyBool_Check(v) || (PyFloat_Check(v) && !std::isfinite(PyFloat_AS_DOUBLE(v)))))
    return true;
  if (PyBool_Check(v)) return kind != ColumnKind::Text;
  if (PyLong_Check(v)) {
    int overflow = 0;
    PyLong_AsLongLongAndOverflow(v, &overflow);
    return overflow == 0;
  }
  if (PyFloat_Check(v)) return kind == ColumnKind::Float || std::isfinite(PyFloat_AS_DOUBLE(v));
  return false;  // None, containers and every other object have no literal a column takes
}

std::string shown(py::handle value) {
  std::string text = py::repr(value).cast<std::string>();
  if (text.size() > kShownValue) text = text.substr(0, kShownValue) + "...";
  return text;
}

}  // namespace

std::string too_many_rows(std::size_t rows) {
  return "输入数据有效行数 " + std::to_string(rows) + " 超过单次上传上限 " + std::to_string(kMaxUploadRows) +
         ", 未做修改";
}

std::string unwritable_cell(py::handle table, std::initializer_list<UploadColumn> columns,
                            bool hash_refuses_nulls) {
  py::list labels = table.attr("index").attr("tolist")();
  for (const UploadColumn& column : columns) {
    py::list values = table[py::str(column.name)].attr("tolist")();
    for (size_t i = 0; i < values.size(); ++i) {
      if (fits(values[i], column.kind, hash_refuses_nulls)) continue;
      return "输入数据 " + std::string(column.name) + " 列有无法写入的值 (行 " +
             py::str(labels[i]).cast<std::string>() + ": " + shown(values[i]) + "), 未做修改";
    }
  }
  return {};
}

}  // namespace pelmora
