#include "core/records.h"

#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "core/py_ref.h"
#include "core/records_float.h"
#include "core/records_kind.h"
#include "core/records_object.h"
#include "core/records_temporal.h"
#include "core/records_text.h"

namespace pelmora::records {
namespace {

struct Columns {
  std::vector<Ref> keys;                // exact str per column, shared by every row
  std::vector<std::string_view> names;  // their UTF-8, owned by the key objects
};

Columns read_columns(PyObject* column_names) {
  if (PyUnicode_Check(column_names) || PyBytes_Check(column_names)) {
    raise(PyExc_TypeError, "column_names must be a sequence of names, not a text");
  }
  Ref names = checked(PySequence_Fast(column_names, "column_names must be a sequence"));
  Columns columns;
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(names.get());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* name = PySequence_Fast_GET_ITEM(names.get(), i);
    Ref key;
    if (PyUnicode_Check(name)) {
      key = json_str(name);
    } else if (PyLong_Check(name)) {
      key = checked(PyObject_Str(name));
    } else {
      raise(PyExc_TypeError, "column names must be texts");
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.get(), &size);
    if (utf8 == nullptr) throw_pending();
    columns.names.emplace_back(utf8, static_cast<size_t>(size));
    columns.keys.push_back(std::move(key));
  }
  return columns;
}

Ref row_tuple(PyObject* row, Py_ssize_t index) {
  if (PyTuple_Check(row)) return Ref::borrow(row);
  if (PyUnicode_Check(row) || PyBytes_Check(row) || PyByteArray_Check(row) || PyDict_Check(row) ||
      !PySequence_Check(row)) {
    PyErr_Format(PyExc_TypeError, "row %zd is not a sequence of values", index);
    throw_pending();
  }
  return checked(PySequence_Tuple(row));
}

// Strong references to every row as a tuple: the rows stay valid whatever
// the values' own code does to the result set meanwhile.
std::vector<Ref> read_rows(PyObject* result_set, Py_ssize_t width) {
  Ref rows = checked(PySequence_Fast(result_set, "result_set must be a sequence of rows"));
  std::vector<Ref> tuples;
  tuples.reserve(static_cast<size_t>(PySequence_Fast_GET_SIZE(rows.get())));
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(rows.get()); ++i) {
    Ref row = row_tuple(PySequence_Fast_GET_ITEM(rows.get(), i), i);
    const Py_ssize_t size = PyTuple_GET_SIZE(row.get());
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
      Ref key = checked(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
      PyErr_SetObject(PyExc_KeyError, key.get());
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

Ref decimal_type() {
  Ref module = checked(PyImport_ImportModule("decimal"));
  return checked(PyObject_GetAttrString(module.get(), "Decimal"));
}

Ref new_row_dict(Py_ssize_t width) {
#if PY_VERSION_HEX < 0x030E0000
  return checked(_PyDict_NewPresized(width));
#else
  (void)width;
  return checked(PyDict_New());
#endif
}

// Turns the cells of one column into what the records hold.
class CellWriter {
 public:
  CellWriter(ColumnType type, bool text, ObjectEncoder* objects) : type_(type), objects_(objects) {
    if (text) text_.emplace(type);
  }

  Ref operator()(PyObject* value) {
    if (text_) return text_->text(value);
    switch (type_.kind) {
      case Kind::Int:
        return PyLong_CheckExact(value) ? Ref::borrow(value) : checked(PyNumber_Index(value));
      case Kind::Bool:
        return Ref::borrow(value);
      case Kind::Float:
        return float_cell(value);
      // Inference left only the kind's values and missing ones (None, NaN).
      case Kind::String:
        return PyUnicode_Check(value) ? json_str(value) : Ref::borrow(Py_None);
      case Kind::Datetime:
        return is_datetime(value) ? millis(floor_millis(naive_micros(value))) : Ref::borrow(Py_None);
      case Kind::DatetimeTz:
        return is_datetime(value) ? millis(floor_millis(utc_micros(value))) : Ref::borrow(Py_None);
      case Kind::Timedelta: {
        int64_t micros = 0;
        if (!is_delta(value) || !delta_micros(value, &micros)) return Ref::borrow(Py_None);
        return millis(floor_millis(micros));
      }
      case Kind::Object:
        return objects_->encode(value);
    }
    raise(PyExc_SystemError, "unknown column kind");
  }

 private:
  static Ref millis(int64_t ms) { return checked(PyLong_FromLongLong(ms)); }

  // Ints of a float column become floats; NaN, infinities and None null.
  static Ref float_cell(PyObject* value) {
    if (PyFloat_Check(value)) {
      const double d = PyFloat_AS_DOUBLE(value);
      if (!std::isfinite(d)) return Ref::borrow(Py_None);
      return json_float_object(d, value);
    }
    if (value == Py_None) return Ref::borrow(Py_None);
    const double d = PyLong_AsDouble(value);
    if (d == -1.0 && PyErr_Occurred()) throw_pending();
    return json_float_object(d, nullptr);
  }

  ColumnType type_;
  std::optional<TextMaker> text_;
  ObjectEncoder* objects_;
};

}  // namespace

py::list to_records(py::handle result_set, py::handle column_names,
                    const std::vector<std::string>& text_columns) {
  temporal_init();
  const Columns columns = read_columns(column_names.ptr());
  const auto width = static_cast<Py_ssize_t>(columns.keys.size());
  const std::vector<Ref> rows = read_rows(result_set.ptr(), width);
  const std::vector<bool> is_text = text_flags(columns, text_columns);
  require_unique(columns);
  // A table without columns encodes as no records at all.
  if (rows.empty() || width == 0) return py::list();

  const std::vector<ColumnType> types = infer_columns(rows, width);
  bool any_object = false;
  for (size_t c = 0; c < types.size(); ++c) any_object |= types[c].kind == Kind::Object && !is_text[c];
  const Ref decimal = any_object ? decimal_type() : Ref();
  ObjectEncoder objects(decimal.get());
  std::vector<CellWriter> writers;
  writers.reserve(types.size());
  for (size_t c = 0; c < types.size(); ++c) writers.emplace_back(types[c], is_text[c], &objects);

  Ref result = checked(PyList_New(static_cast<Py_ssize_t>(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) {
    PyObject* row = rows[r].get();
    Ref dict = new_row_dict(width);
    for (Py_ssize_t c = 0; c < width; ++c) {
      Ref value = writers[c](PyTuple_GET_ITEM(row, c));
      if (PyDict_SetItem(dict.get(), columns.keys[c].get(), value.get()) < 0) throw_pending();
    }
    PyList_SET_ITEM(result.get(), static_cast<Py_ssize_t>(r), dict.release());
  }
  return py::reinterpret_steal<py::list>(result.release());
}

}  // namespace pelmora::records
