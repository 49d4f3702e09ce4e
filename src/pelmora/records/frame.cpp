#include "records/frame.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/python.h"
#include "records/column_type.h"
#include "records/direct_array.h"

namespace pelmora::records {
namespace {

template <typename T, typename Convert>
py::object filled(const std::vector<py::object>& values, Convert&& convert) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
  T* out = array.mutable_data();
  for (size_t i = 0; i < values.size(); ++i) out[i] = convert(values[i].ptr());
  return std::move(array);
}

// Only ints, no int needing both int64 and uint64: whether one is above int64.
bool above_int64(const std::vector<py::object>& values) {
  for (const py::object& value : values) {
    int overflow = 0;
    PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (PyErr_Occurred()) throw_pending();
    if (overflow != 0) return true;
  }
  return false;
}

py::object int_array(const std::vector<py::object>& values) {
  if (above_int64(values)) {
    return filled<uint64_t>(values, [](PyObject* v) { return PyLong_AsUnsignedLongLong(v); });
  }
  return filled<int64_t>(values, [](PyObject* v) { return PyLong_AsLongLong(v); });
}

double float_of(PyObject* value) {
  if (PyFloat_CheckExact(value)) return PyFloat_AS_DOUBLE(value);
  if (value == Py_None) return std::numeric_limits<double>::quiet_NaN();
  const double d = PyFloat_Check(value) ? PyFloat_AS_DOUBLE(value) : PyLong_AsDouble(value);
  if (d == -1.0 && PyErr_Occurred()) throw_pending();
  return d;
}

py::object object_array(const std::vector<py::object>& values) {
  py::array array(py::dtype("O"), py::array::ShapeContainer{static_cast<py::ssize_t>(values.size())});
  auto* out = static_cast<PyObject**>(array.mutable_data());
  for (size_t i = 0; i < values.size(); ++i) {
    PyObject* old = out[i];
    Py_INCREF(values[i].ptr());
    out[i] = values[i].ptr();
    Py_XDECREF(old);
  }
  return std::move(array);
}

// Texts (and missing values) in the dtype pandas infers for them. An
// Arrow-backed dtype is filled from one Arrow array: pandas' own way there
// checks and copies every text first, at twice the cost.
py::object text_array(const std::vector<py::object>& values) {
  py::object objects = object_array(values);
  const auto text = std::find_if(values.begin(), values.end(), [](const py::object& v) { return PyUnicode_Check(v.ptr()); });
  if (text == values.end()) return objects;
  py::object dtype = arrow_text_dtype();
  if (dtype.is_none()) return objects;
  py::object pa = py::module_::import("pyarrow");
  py::object arrow = pa.attr("array")(objects, py::arg("type") = pa.attr("large_string")(), py::arg("from_pandas") = true);
  return module_attr("pd").attr("array")(arrow, py::arg("dtype") = dtype);
}

}  // namespace

py::object column_array(const std::vector<py::object>& values) {
  if (values.empty()) return object_array(values);
  switch (infer_column(values).type) {
    case ColumnType::Int:
      return int_array(values);
    case ColumnType::Float:
      return filled<double>(values, float_of);
    case ColumnType::Bool:
      return filled<bool>(values, [](PyObject* v) { return v == Py_True; });
    case ColumnType::String:
      return text_array(values);
    default:
      return object_array(values);
  }
}

py::object frame_of(py::handle keys, std::vector<py::object> arrays) {
  py::dict by_position;
  for (size_t i = 0; i < arrays.size(); ++i) by_position[py::int_(i)] = std::move(arrays[i]);
  py::object frame = module_attr("pd").attr("DataFrame")(by_position, py::arg("copy") = false);
  frame.attr("columns") = py::list(borrowed(keys.ptr()));
  return frame;
}

}  // namespace pelmora::records
