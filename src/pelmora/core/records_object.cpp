#include "core/records_object.h"

#include <cmath>

#include "core/records_float.h"

namespace pelmora::records {
namespace {

// The encoder's own nesting limit.
constexpr int kMaxDepth = 1024;

bool has_surrogate(PyObject* text) {
  const int kind = PyUnicode_KIND(text);
  if (kind == PyUnicode_1BYTE_KIND) return false;
  const Py_ssize_t n = PyUnicode_GET_LENGTH(text);
  const void* data = PyUnicode_DATA(text);
  for (Py_ssize_t i = 0; i < n; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c >= 0xD800 && c <= 0xDFFF) return true;
  }
  return false;
}

// Dict keys and attribute names become JSON member names: texts as they
// are, bytes decoded, anything else through str().
Ref member_name(PyObject* key) {
  if (PyUnicode_Check(key)) return json_str(key);
  if (PyBytes_Check(key)) {
    return checked(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(key), PyBytes_GET_SIZE(key), nullptr));
  }
  Ref text = checked(PyObject_Str(key));
  return json_str(text.get());
}

}  // namespace

Ref json_str(PyObject* text) {
  if (has_surrogate(text)) {
    // Let the codec raise its UnicodeEncodeError.
    Ref encoded(PyUnicode_AsUTF8String(text));
    if (!encoded) throw_pending();
  }
  if (PyUnicode_CheckExact(text)) return Ref::borrow(text);
  return checked(PyUnicode_FromObject(text));
}

Ref ObjectEncoder::encode_at(PyObject* value, int depth) {
  if (depth > kMaxDepth) raise(PyExc_OverflowError, "Maximum recursion level reached");
  if (PyBool_Check(value) || value == Py_None) return Ref::borrow(value);
  // Iterators skip the scalar tests, as in the encoder.
  if (!PyIter_Check(value)) {
    if (Ref scalar = encode_scalar(value)) return scalar;
  }
  if (PyDict_Check(value)) return encode_dict(value, depth);
  if (PyList_Check(value) || PyTuple_Check(value) || PyAnySet_Check(value)) {
    return encode_items(value, depth);
  }
  Ref to_dict(PyObject_GetAttrString(value, "toDict"));
  if (to_dict) {
    Ref dict(PyObject_CallNoArgs(to_dict.get()));
    if (!dict) {
      PyErr_Clear();
      return Ref::borrow(Py_None);
    }
    if (!PyDict_Check(dict.get())) return Ref::borrow(Py_None);
    return encode_dict(dict.get(), depth);
  }
  PyErr_Clear();
  return encode_attributes(value, depth);
}

// Null when `value` is no scalar the encoder knows.
Ref ObjectEncoder::encode_scalar(PyObject* value) {
  if (PyLong_Check(value)) {
    if (PyLong_CheckExact(value)) return Ref::borrow(value);
    return checked(PyNumber_Index(value));
  }
  if (PyFloat_Check(value)) {
    const double d = PyFloat_AS_DOUBLE(value);
    if (!std::isfinite(d)) return Ref::borrow(Py_None);
    return json_float_object(d, value);
  }
  if (PyBytes_Check(value)) {
    return checked(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(value), PyBytes_GET_SIZE(value), nullptr));
  }
  if (PyUnicode_Check(value)) return json_str(value);
  if (decimal_type_ != nullptr) {
    const int is_decimal = PyObject_IsInstance(value, decimal_type_);
    if (is_decimal < 0) throw_pending();
    if (is_decimal) return encode_decimal(value);
  }
  const TimeType type = time_type(value);
  if (type == TimeType::Date && is_exact_date(value)) {
    return day_epochs_.get(value, [](PyObject* d) { return object_temporal(d, TimeType::Date); });
  }
  if (type != TimeType::None) return object_temporal(value, type);
  return Ref();
}

Ref ObjectEncoder::encode_decimal(PyObject* value) {
  // NaN is written as null; comparing raises for a signalling NaN, as the
  // encoder does.
  // (not the Bool variant, which takes an object as equal to itself).
  Ref differs = checked(PyObject_RichCompare(value, value, Py_NE));
  const int nan = PyObject_IsTrue(differs.get());
  if (nan < 0) throw_pending();
  if (nan) return Ref::borrow(Py_None);
  Ref spec = checked(PyUnicode_FromString("f"));
  return checked(PyObject_Format(value, spec.get()));
}

Ref ObjectEncoder::encode_items(PyObject* iterable, int depth) {
  Ref out = checked(PyList_New(0));
  Ref iterator = checked(PyObject_GetIter(iterable));
  while (Ref item{PyIter_Next(iterator.get())}) {
    Ref encoded = encode_at(item.get(), depth + 1);
    if (PyList_Append(out.get(), encoded.get()) < 0) throw_pending();
  }
  if (PyErr_Occurred()) throw_pending();
  return out;
}

Ref ObjectEncoder::encode_dict(PyObject* dict, int depth) {
  // A snapshot of the items: encoding a value may run code that changes the dict.
  Ref items = checked(PyDict_Items(dict));
  Ref out = checked(PyDict_New());
  const Py_ssize_t n = PyList_GET_SIZE(items.get());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* pair = PyList_GET_ITEM(items.get(), i);
    Ref key = member_name(PyTuple_GET_ITEM(pair, 0));
    Ref encoded = encode_at(PyTuple_GET_ITEM(pair, 1), depth + 1);
    if (PyDict_SetItem(out.get(), key.get(), encoded.get()) < 0) throw_pending();
  }
  return out;
}

Ref ObjectEncoder::encode_attributes(PyObject* value, int depth) {
  Ref names = checked(PyObject_Dir(value));
  if (!PyList_Check(names.get())) raise(PyExc_TypeError, "dir() did not return a list");
  Ref out = checked(PyDict_New());
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(names.get()); ++i) {
    Ref name = Ref::borrow(PyList_GET_ITEM(names.get(), i));
    if (!PyUnicode_Check(name.get())) continue;
    if (PyUnicode_GET_LENGTH(name.get()) > 0 && PyUnicode_READ_CHAR(name.get(), 0) == '_') continue;
    Ref attribute(PyObject_GetAttr(value, name.get()));
    if (!attribute) {
      PyErr_Clear();
      continue;
    }
    if (PyCallable_Check(attribute.get())) continue;
    Ref key = member_name(name.get());
    Ref encoded = encode_at(attribute.get(), depth + 1);
    if (PyDict_SetItem(out.get(), key.get(), encoded.get()) < 0) throw_pending();
  }
  return out;
}

}  // namespace pelmora::records
