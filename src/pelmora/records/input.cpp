#include "records/input.h"

#include <unordered_set>

#include "records/object.h"

namespace pelmora::records {
namespace {

py::object row_tuple(PyObject* row, Py_ssize_t index) {
  if (PyTuple_Check(row)) return borrowed(row);
  if (PyUnicode_Check(row) || PyBytes_Check(row) || PyByteArray_Check(row) || PyDict_Check(row) ||
      !PySequence_Check(row)) {
    PyErr_Format(PyExc_TypeError, "row %zd is not a sequence of values", index);
    throw_pending();
  }
  return checked(PySequence_Tuple(row));
}

}  // namespace

Columns read_columns(PyObject* column_names) {
  if (PyUnicode_Check(column_names) || PyBytes_Check(column_names)) {
    raise(PyExc_TypeError, "column_names must be a sequence of names, not a text");
  }
  // A snapshot: str() of an int subclass may run code that edits the names.
  py::object names = stolen(PySequence_Tuple(column_names));
  if (!names) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw_pending();
    raise(PyExc_TypeError, "column_names must be a sequence");
  }
  Columns columns;
  const Py_ssize_t n = PyTuple_GET_SIZE(names.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* name = PyTuple_GET_ITEM(names.ptr(), i);
    py::object key;
    if (PyUnicode_Check(name)) {
      key = json_str(name);
    } else if (PyLong_Check(name)) {
      key = checked(PyObject_Str(name));
    } else {
      raise(PyExc_TypeError, "column names must be texts or ints");
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.ptr(), &size);
    if (utf8 == nullptr) throw_pending();
    columns.names.emplace_back(utf8, static_cast<size_t>(size));
    columns.keys.push_back(std::move(key));
  }
  return columns;
}

std::vector<py::object> read_rows(PyObject* result_set, Py_ssize_t width) {
  // A snapshot of the rows, each row then a tuple of its own: values' code
  // may edit the result set or a row meanwhile.
  py::object rows = stolen(PySequence_Tuple(result_set));
  if (!rows) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw_pending();
    raise(PyExc_TypeError, "result_set must be a sequence of rows");
  }
  std::vector<py::object> tuples;
  const Py_ssize_t n = PyTuple_GET_SIZE(rows.ptr());
  tuples.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyTuple_GET_ITEM(rows.ptr(), i);
    py::object row = row_tuple(item, i);
    const Py_ssize_t size = PyTuple_GET_SIZE(row.ptr());
    if (size != width) {
      PyErr_Format(PyExc_ValueError, "row %zd has %zd values for %zd columns", i, size, width);
      throw_pending();
    }
    tuples.push_back(std::move(row));
  }
  return tuples;
}

std::vector<bool> text_flags(const Columns& columns, const std::vector<std::string>& text_columns) {
  std::vector<bool> flags(columns.names.size(), false);
  for (const std::string& name : text_columns) {
    bool found = false;
    for (size_t c = 0; c < columns.names.size(); ++c) {
      if (columns.names[c] == name) flags[c] = found = true;
    }
    if (!found) {
      py::object key = checked(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
      PyErr_SetObject(PyExc_KeyError, key.ptr());
      throw_pending();
    }
  }
  return flags;
}

void require_unique(const Columns& columns) {
  std::unordered_set<std::string_view> seen;
  for (std::string_view name : columns.names) {
    if (!seen.insert(name).second) {
      raise(PyExc_ValueError, "DataFrame columns must be unique for orient='records'.");
    }
  }
}

}  // namespace pelmora::records
