#include "records/text.h"

#include "core/python.h"
#include "records/object.h"

namespace pelmora::records {
namespace {

// str() of a float64 value: Python's repr of the double.
py::object float_text(double value) { return checked(PyUnicode_FromString(double_text(value).c_str())); }

py::object str_of(PyObject* value) { return checked(PyObject_Str(value)); }

}  // namespace

TextMaker::TextMaker(InferredColumn type)
    : type_(type),
      nan_(checked(PyUnicode_InternFromString("nan"))),
      nat_(checked(PyUnicode_InternFromString("NaT"))) {}

py::object TextMaker::text(PyObject* value) {
  py::object text = make(value);
  return json_str(text.ptr());
}

py::object TextMaker::make(PyObject* value) {
  switch (type_.type) {
    case ColumnType::Int: {
      py::object number = checked(PyNumber_Index(value));
      return str_of(number.ptr());
    }
    case ColumnType::Bool:
      return str_of(value);
    case ColumnType::Float: {
      if (value == Py_None) return borrowed(nan_.ptr());
      const double d = PyFloat_Check(value) ? PyFloat_AS_DOUBLE(value) : PyLong_AsDouble(value);
      if (d == -1.0 && PyErr_Occurred()) throw_pending();
      return float_text(d);
    }
    // Inference left only the type's values and missing ones (None, NaN).
    case ColumnType::String:
      return PyUnicode_Check(value) ? borrowed(value) : borrowed(nan_.ptr());
    case ColumnType::Datetime:
      return is_datetime(value) ? str_of(value) : borrowed(nat_.ptr());
    case ColumnType::DatetimeTz:
      return is_datetime(value) ? zoned_text(value, type_.zone) : borrowed(nat_.ptr());
    case ColumnType::Timedelta:
      return is_delta(value) ? delta_text(value) : borrowed(nat_.ptr());
    case ColumnType::Object:
      if (is_exact_date(value)) return day_texts_.get(value, str_of);
      return str_of(value);
  }
  raise(PyExc_SystemError, "unknown column type");
}

}  // namespace pelmora::records
