#include "records/direct_array.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/python.h"
#include "records/json_float.h"

namespace pelmora::records {
namespace {


// Every value of a fixed-width column, in order, as `each(const char*)`.
template <typename Each>
void for_each_value(const DirectColumn& column, Each&& each) {
  for (const auto& [bytes, count] : column.blocks) {
    for (uint64_t r = 0; r < count; ++r) each(bytes.data() + r * column.width);
  }
}

int64_t signed_value(const char* at, uint32_t width) {
  switch (width) {
    case 1: return load<int8_t>(at);
    case 2: return load<int16_t>(at);
    case 4: return load<int32_t>(at);
    default: return load<int64_t>(at);
  }
}

uint64_t unsigned_value(const char* at, uint32_t width) {
  uint64_t v = 0;
  std::memcpy(&v, at, width);  // little-endian host
  return v;
}

template <typename T, typename Convert>
py::object numbers(const DirectColumn& column, Convert&& convert) {
  py::array_t<T> array(static_cast<py::ssize_t>(column.rows));
  T* out = array.mutable_data();
  for_each_value(column, [&](const char* at) { *out++ = convert(at); });
  return std::move(array);
}

py::object integers(const DirectColumn& column) {
  if (column.kind == DirectKind::Signed) {
    return numbers<int64_t>(column, [w = column.width](const char* at) { return signed_value(at, w); });
  }
  bool above_int64 = false;
  for_each_value(column, [&](const char* at) {
    above_int64 |= unsigned_value(at, column.width) > uint64_t{std::numeric_limits<int64_t>::max()};
  });
  if (above_int64) {
    return numbers<uint64_t>(column, [w = column.width](const char* at) { return unsigned_value(at, w); });
  }
  return numbers<int64_t>(column, [w = column.width](const char* at) {
    return static_cast<int64_t>(unsigned_value(at, w));
  });
}

double float_value(const char* at, uint32_t width) {
  return width == 4 ? static_cast<double>(load<float>(at)) : load<double>(at);
}

py::object floats(const DirectColumn& column, CellValues values) {
  if (values == CellValues::Query) {
    return numbers<double>(column, [w = column.width](const char* at) { return float_value(at, w); });
  }
  // The records hold null for NaN and infinities: a column of nothing but
  // those is a column of None, which pandas keeps as objects.
  bool any_finite = false;
  for_each_value(column, [&](const char* at) { any_finite |= std::isfinite(float_value(at, column.width)); });
  if (!any_finite) {
    py::array array(py::dtype("O"), py::array::ShapeContainer{static_cast<py::ssize_t>(column.rows)});
    auto* out = static_cast<PyObject**>(array.mutable_data());
    for (uint64_t i = 0; i < column.rows; ++i) {
      Py_XDECREF(out[i]);
      out[i] = Py_NewRef(Py_None);
    }
    return std::move(array);
  }
  return numbers<double>(column, [w = column.width](const char* at) {
    const double d = float_value(at, w);
    return std::isfinite(d) ? json_float(d) : std::numeric_limits<double>::quiet_NaN();
  });
}

// One Arrow array of the texts (offsets and bytes copied once), in pandas' dtype.
py::object texts(const DirectColumn& column, py::handle text_dtype) {
  py::array_t<int64_t> offsets(static_cast<py::ssize_t>(column.rows + 1));
  int64_t* offset = offsets.mutable_data();
  size_t total = 0;
  for (const auto& [bytes, count] : column.blocks) total += bytes.size();
  py::object data = checked(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(total)));
  char* out = PyBytes_AS_STRING(data.ptr());
  int64_t size = 0;
  *offset++ = 0;
  for (const auto& [bytes, count] : column.blocks) {
    NativeReader in(bytes);
    for (uint64_t r = 0; r < count; ++r) {
      const std::string_view text = in.text();
      std::memcpy(out + size, text.data(), text.size());
      size += static_cast<int64_t>(text.size());
      *offset++ = size;
    }
  }
  py::object pa = py::module_::import("pyarrow");
  py::list buffers;
  buffers.append(py::none());
  buffers.append(pa.attr("py_buffer")(offsets));
  buffers.append(pa.attr("py_buffer")(data));
  py::object arrow = pa.attr("Array").attr("from_buffers")(pa.attr("large_string")(), column.rows, buffers);
  return module_attr("pd").attr("array")(arrow, py::arg("dtype") = text_dtype);
}

}  // namespace

py::object arrow_text_dtype() {
  py::list sample;
  sample.append(py::str("a"));
  py::object dtype = module_attr("pd").attr("Series")(sample).attr("dtype");
  if (!py::getattr(dtype, "storage", py::none()).equal(py::str("pyarrow"))) return py::none();
  return dtype;
}

bool made_direct(const DirectColumn& located, py::object& text_dtype) {
  if (located.kind == DirectKind::None) return false;
  if (located.kind != DirectKind::Text) return true;
  if (!text_dtype) text_dtype = arrow_text_dtype();
  return !text_dtype.is_none() && located.utf8;
}

py::object direct_array(const DirectColumn& column, CellValues values, py::handle text_dtype) {
  switch (column.kind) {
    case DirectKind::Signed:
    case DirectKind::Unsigned:
      return integers(column);
    case DirectKind::Float:
      return floats(column, values);
    case DirectKind::Text:
      return texts(column, text_dtype);
    case DirectKind::None:
      break;
  }
  raise(PyExc_SystemError, "no direct array for this column");
}

}  // namespace pelmora::records
