#include "records/object.h"

#include <cmath>

#include "records/json_float.h"

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
py::object member_name(PyObject* key) {
  if (PyUnicode_Check(key)) return json_str(key);
  if (PyBytes_Check(key)) {
    return checked(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(key), PyBytes_GET_SIZE(key), nullptr));
  }
  py::object text = checked(PyObject_Str(key));
  return json_str(text.ptr());
}

}  // namespace

py::object json_str(PyObject* text) {
  if (has_surrogate(text)) {
    // Let the codec raise its UnicodeEncodeError.
    py::object encoded = stolen(PyUnicode_AsUTF8String(text));
    if (!encoded) throw_pending();
  }
  if (PyUnicode_CheckExact(text)) return borrowed(text);
  return checked(PyUnicode_FromObject(text));
}

py::object ObjectEncoder::encode_at(PyObject* value, int depth) {
  if (depth > kMaxDepth) raise(PyExc_OverflowError, "Maximum recursion level reached");
  if (PyBool_Check(value) || value == Py_None) return borrowed(value);
  // Iterators skip the scalar tests, as in the encoder.
  if (!PyIter_Check(value)) {
    if (py::object scalar = encode_scalar(value)) return scalar;
  }
  if (PyDict_Check(value)) return encode_dict(value, depth);
  if (PyList_Check(value) || PyTuple_Check(value) || PyAnySet_Check(value)) {
    return encode_items(value, depth);
  }
  py::object to_dict = stolen(PyObject_GetAttrString(value, "toDict"));
  if (to_dict) {
    py::object dict = stolen(PyObject_CallNoArgs(to_dict.ptr()));
    if (!dict) {
      PyErr_Clear();
      return borrowed(Py_None);
    }
    if (!PyDict_Check(dict.ptr())) return borrowed(Py_None);
    return encode_dict(dict.ptr(), depth);
  }
  PyErr_Clear();
  return encode_attributes(value, depth);
}

// Null when `value` is no scalar the encoder knows.
py::object ObjectEncoder::encode_scalar(PyObject* value) {
  if (PyLong_Check(value)) {
    if (PyLong_CheckExact(value)) return borrowed(value);
    return checked(PyNumber_Index(value));
  }
  if (PyFloat_Check(value)) {
    const double d = PyFloat_AS_DOUBLE(value);
    if (!std::isfinite(d)) return borrowed(Py_None);
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
  return py::object();
}

py::object ObjectEncoder::encode_decimal(PyObject* value) {
  // NaN is written as null; comparing raises for a signalling NaN, as the
  // encoder does.
  // (not the Bool variant, which takes an object as equal to itself).
  py::object differs = checked(PyObject_RichCompare(value, value, Py_NE));
  const int nan = PyObject_IsTrue(differs.ptr());
  if (nan < 0) throw_pending();
  if (nan) return borrowed(Py_None);
  py::object spec = checked(PyUnicode_FromString("f"));
  return checked(PyObject_Format(value, spec.ptr()));
}

py::object ObjectEncoder::encode_items(PyObject* iterable, int depth) {
  py::object out = checked(PyList_New(0));
  py::object iterator = checked(PyObject_GetIter(iterable));
  while (py::object item = stolen(PyIter_Next(iterator.ptr()))) {
    py::object encoded = encode_at(item.ptr(), depth + 1);
    if (PyList_Append(out.ptr(), encoded.ptr()) < 0) throw_pending();
  }
  if (PyErr_Occurred()) throw_pending();
  return out;
}

py::object ObjectEncoder::encode_dict(PyObject* dict, int depth) {
  // A snapshot of the items: encoding a value may run code that changes the dict.
  py::object items = checked(PyDict_Items(dict));
  py::object out = checked(PyDict_New());
  const Py_ssize_t n = PyList_GET_SIZE(items.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* pair = PyList_GET_ITEM(items.ptr(), i);
    py::object key = member_name(PyTuple_GET_ITEM(pair, 0));
    py::object encoded = encode_at(PyTuple_GET_ITEM(pair, 1), depth + 1);
    if (PyDict_SetItem(out.ptr(), key.ptr(), encoded.ptr()) < 0) throw_pending();
  }
  return out;
}

py::object ObjectEncoder::encode_attributes(PyObject* value, int depth) {
  py::object names = checked(PyObject_Dir(value));
  if (!PyList_Check(names.ptr())) raise(PyExc_TypeError, "dir() did not return a list");
  py::object out = checked(PyDict_New());
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(names.ptr()); ++i) {
    py::object name = borrowed(PyList_GET_ITEM(names.ptr(), i));
    if (!PyUnicode_Check(name.ptr())) continue;
    if (PyUnicode_GET_LENGTH(name.ptr()) > 0 && PyUnicode_READ_CHAR(name.ptr(), 0) == '_') continue;
    py::object attribute = stolen(PyObject_GetAttr(value, name.ptr()));
    if (!attribute) {
      PyErr_Clear();
      continue;
    }
    if (PyCallable_Check(attribute.ptr())) continue;
    py::object key = member_name(name.ptr());
    py::object encoded = encode_at(attribute.ptr(), depth + 1);
    if (PyDict_SetItem(out.ptr(), key.ptr(), encoded.ptr()) < 0) throw_pending();
  }
  return out;
}

}  // namespace pelmora::records
