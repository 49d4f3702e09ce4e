#include "records/column_type.h"

#include <cmath>

#include "records/temporal.h"

namespace pelmora::records {
namespace {

// What one scan of a column has seen.
struct Seen {
  bool missing = false;  // None
  bool nan = false;      // float NaN
  bool boolean = false;
  bool floating = false;
  bool integer = false;
  bool negative = false;      // an int below 0
  bool above_int64 = false;   // an int above int64
  bool out_of_range = false;  // an int outside int64 and uint64
  bool text = false;
  bool naive = false;
  bool zoned = false;
  bool mixed_zones = false;
  bool delta = false;
  bool wide_delta = false;  // a duration beyond int64 microseconds
  bool other = false;
  PyObject* zone = nullptr;

  void integer_value(PyObject* value) {
    integer = true;
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (v == -1 && PyErr_Occurred()) throw_pending();
    if (overflow == 0) {
      negative |= v < 0;
    } else if (overflow > 0) {
      PyLong_AsUnsignedLongLong(value);
      if (PyErr_Occurred()) {
        PyErr_Clear();
        out_of_range = true;
      } else {
        above_int64 = true;
      }
    } else {
      out_of_range = true;
    }
  }

  void other_value(PyObject* value) {
    const TimeType time = time_type(value);
    if (time != TimeType::None) {
      time_value(value, time);
    } else if (PyFloat_Check(value)) {
      (std::isnan(PyFloat_AS_DOUBLE(value)) ? nan : floating) = true;
    } else if (PyBool_Check(value)) {
      boolean = true;
    } else if (PyLong_Check(value)) {
      integer_value(value);
    } else if (PyUnicode_Check(value)) {
      text = true;
    } else {
      other = true;
    }
  }

  void time_value(PyObject* value, TimeType time) {
    switch (time) {
      case TimeType::Datetime:
        if (PyObject* z = zone_of(value)) {
          zoned = true;
          if (zone == nullptr) {
            zone = z;
          } else if (!mixed_zones && !same_zone(zone, z)) {
            mixed_zones = true;
          }
        } else {
          naive = true;
        }
        break;
      case TimeType::Delta: {
        delta = true;
        int64_t micros;
        if (!delta_micros(value, &micros)) wide_delta = true;
        break;
      }
      default:  // dates and times stay objects
        other = true;
    }
  }

  void value(PyObject* value) {
    // Exact built-in types first: they are nearly all of the values.
    PyTypeObject* type = Py_TYPE(value);
    if (value == Py_None) {
      missing = true;
    } else if (type == &PyFloat_Type) {
      (std::isnan(PyFloat_AS_DOUBLE(value)) ? nan : floating) = true;
    } else if (type == &PyLong_Type) {
      integer_value(value);
    } else if (type == &PyUnicode_Type) {
      text = true;
    } else {
      other_value(value);
    }
  }

  // Exactly one sort of present value, of the given flag.
  bool only(bool flag) const {
    const int kinds = boolean + (floating || integer) + text + naive + zoned + delta + other;
    return flag && kinds == 1;
  }
};

InferredColumn decide(const Seen& seen) {
  if (seen.only(seen.boolean)) {
    return {seen.missing || seen.nan ? ColumnType::Object : ColumnType::Bool};
  }
  if (seen.only(seen.floating || seen.integer)) {
    // An int beyond 64 bits, or ints needing both int64 and uint64, keep
    // the column as objects, missing values or not.
    if (seen.out_of_range || (seen.negative && seen.above_int64)) return {ColumnType::Object};
    if (seen.floating || seen.missing || seen.nan) return {ColumnType::Float};
    return {ColumnType::Int};
  }
  if (seen.only(seen.text)) return {ColumnType::String};
  if (seen.only(seen.naive)) return {ColumnType::Datetime};
  if (seen.only(seen.zoned) && !seen.mixed_zones) return {ColumnType::DatetimeTz, seen.zone};
  if (seen.only(seen.delta) && !seen.wide_delta) return {ColumnType::Timedelta};
  // Nothing present: all-NaN is a float column, all-None an object one.
  const bool nothing = !seen.boolean && !seen.floating && !seen.integer && !seen.text && !seen.naive &&
                       !seen.zoned && !seen.delta && !seen.other;
  if (nothing && seen.nan) return {ColumnType::Float};
  return {ColumnType::Object};
}

}  // namespace

// Mirrors the table library's inference (a first pass over numbers and
// bools, then one over texts and date-times for what stayed objects), in a
// single row-by-row scan: rows sit in memory in order, columns do not.
std::vector<InferredColumn> infer_columns(const std::vector<py::object>& rows, Py_ssize_t width) {
  std::vector<Seen> seen(static_cast<size_t>(width));
  for (const py::object& row : rows) {
    PyObject* const* items = reinterpret_cast<PyTupleObject*>(row.ptr())->ob_item;
    for (Py_ssize_t c = 0; c < width; ++c) seen[c].value(items[c]);
  }
  std::vector<InferredColumn> types;
  types.reserve(seen.size());
  for (const Seen& column : seen) types.push_back(decide(column));
  return types;
}

InferredColumn infer_column(const std::vector<py::object>& values) {
  Seen seen;
  for (const py::object& value : values) seen.value(value.ptr());
  return decide(seen);
}

}  // namespace pelmora::records
