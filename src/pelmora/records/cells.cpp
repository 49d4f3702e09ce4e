#include "records/cells.h"

#include <cmath>

#include "records/json_float.h"
#include "records/temporal.h"

namespace pelmora::records {
namespace {

py::object millis(int64_t ms) { return checked(PyLong_FromLongLong(ms)); }

// Ints of a float column become floats; NaN, infinities and None null.
py::object float_cell(PyObject* value) {
  if (PyFloat_Check(value)) {
    const double d = PyFloat_AS_DOUBLE(value);
    if (!std::isfinite(d)) return borrowed(Py_None);
    return json_float_object(d, value);
  }
  if (value == Py_None) return borrowed(Py_None);
  const double d = PyLong_AsDouble(value);
  if (d == -1.0 && PyErr_Occurred()) throw_pending();
  return json_float_object(d, nullptr);
}

}  // namespace

CellWriter::CellWriter(InferredColumn type, bool text, ObjectEncoder* objects) : type_(type), objects_(objects) {
  if (text) text_.emplace(type);
}

py::object CellWriter::rendered_float(PyObject* value) {
  if (!floats_) floats_ = std::make_unique<std::array<Rendered, 1024>>();
  Rendered& slot = (*floats_)[(reinterpret_cast<uintptr_t>(value) >> 4) & 1023];
  if (slot.input != value || !slot.output) {
    slot.output = float_cell(value);
    slot.input = value;
  }
  return slot.output;
}

py::object CellWriter::operator()(PyObject* value) {
  if (text_) return text_->text(value);
  switch (type_.type) {
    case ColumnType::Int:
      return PyLong_CheckExact(value) ? borrowed(value) : checked(PyNumber_Index(value));
    case ColumnType::Bool:
      return borrowed(value);
    case ColumnType::Float:
      return rendered_float(value);
    // Inference left only the type's values and missing ones (None, NaN).
    case ColumnType::String:
      return PyUnicode_Check(value) ? json_str(value) : borrowed(Py_None);
    case ColumnType::Datetime:
      return is_datetime(value) ? millis(floor_millis(naive_micros(value))) : borrowed(Py_None);
    case ColumnType::DatetimeTz:
      return is_datetime(value) ? millis(floor_millis(utc_micros(value))) : borrowed(Py_None);
    case ColumnType::Timedelta: {
      int64_t micros = 0;
      if (!is_delta(value) || !delta_micros(value, &micros)) return borrowed(Py_None);
      return millis(floor_millis(micros));
    }
    case ColumnType::Object:
      return objects_->encode(value);
  }
  raise(PyExc_SystemError, "unknown column type");
}

}  // namespace pelmora::records
