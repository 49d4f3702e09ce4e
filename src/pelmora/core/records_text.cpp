#include "core/records_text.h"

#include <memory>

#include "core/records_object.h"

namespace pelmora::records {
namespace {

struct PyMemFree {
  void operator()(char* p) const { PyMem_Free(p); }
};

// str() of a float64 value: Python's repr of the double.
Ref float_text(double value) {
  std::unique_ptr<char, PyMemFree> text(PyOS_double_to_string(value, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr));
  if (!text) throw_pending();
  return checked(PyUnicode_FromString(text.get()));
}

Ref str_of(PyObject* value) { return checked(PyObject_Str(value)); }

}  // namespace

TextMaker::TextMaker(ColumnType type)
    : type_(type),
      nan_(checked(PyUnicode_InternFromString("nan"))),
      nat_(checked(PyUnicode_InternFromString("NaT"))) {}

Ref TextMaker::text(PyObject* value) {
  Ref text = make(value);
  return json_str(text.get());
}

Ref TextMaker::make(PyObject* value) {
  switch (type_.kind) {
    case Kind::Int: {
      Ref number = checked(PyNumber_Index(value));
      return str_of(number.get());
    }
    case Kind::Bool:
      return str_of(value);
    case Kind::Float: {
      if (value == Py_None) return Ref::borrow(nan_.get());
      const double d = PyFloat_Check(value) ? PyFloat_AS_DOUBLE(value) : PyLong_AsDouble(value);
      if (d == -1.0 && PyErr_Occurred()) throw_pending();
      return float_text(d);
    }
    // Inference left only the kind's values and missing ones (None, NaN).
    case Kind::String:
      return PyUnicode_Check(value) ? Ref::borrow(value) : Ref::borrow(nan_.get());
    case Kind::Datetime:
      return is_datetime(value) ? str_of(value) : Ref::borrow(nat_.get());
    case Kind::DatetimeTz:
      return is_datetime(value) ? zoned_text(value, type_.zone) : Ref::borrow(nat_.get());
    case Kind::Timedelta:
      return is_delta(value) ? delta_text(value) : Ref::borrow(nat_.get());
    case Kind::Object:
      if (is_exact_date(value)) return day_texts_.get(value, str_of);
      return str_of(value);
  }
  raise(PyExc_SystemError, "unknown column kind");
}

}  // namespace pelmora::records
