#include "records/native_column.h"

#include <algorithm>
#include <cstring>

#include "records/temporal.h"

namespace pelmora::records {
namespace {



py::object long_from_bytes(const char* at, uint32_t size, bool is_signed) {
#if PY_VERSION_HEX >= 0x030D0000
  return checked(PyLong_FromNativeBytes(at, size, Py_ASNATIVEBYTES_LITTLE_ENDIAN |
                                                      (is_signed ? 0 : Py_ASNATIVEBYTES_UNSIGNED_BUFFER)));
#else
  return checked(_PyLong_FromByteArray(reinterpret_cast<const unsigned char*>(at), size, 1, is_signed));
#endif
}

bool is_fixed_width_scalar(NativeBase base) {
  switch (base) {
    case NativeBase::String:
    case NativeBase::FixedString:
    case NativeBase::UUID:
    case NativeBase::Int128:
    case NativeBase::Int256:
    case NativeBase::UInt128:
    case NativeBase::UInt256:
      return false;
    default:
      return true;
  }
}

}  // namespace

NativeColumn::NativeColumn(NativeType type, TimeZoneRule zone) : type_(std::move(type)), zone_(std::move(zone)) {
  temporal_init();
  switch (type_.base) {
    case NativeBase::Decimal32:
    case NativeBase::Decimal64: {
      py::object module = checked(PyImport_ImportModule("decimal"));
      decimal_type_ = checked(PyObject_GetAttrString(module.ptr(), "Decimal"));
      break;
    }
    case NativeBase::UUID: {
      py::object module = checked(PyImport_ImportModule("uuid"));
      uuid_type_ = checked(PyObject_GetAttrString(module.ptr(), "UUID"));
      py::object safe = checked(PyObject_GetAttrString(module.ptr(), "SafeUUID"));
      safe_unsafe_ = checked(PyObject_GetAttrString(safe.ptr(), "unsafe"));
      break;
    }
    case NativeBase::Enum8:
    case NativeBase::Enum16:
      for (const auto& [code, label] : type_.labels) {
        py::object text = stolen(PyUnicode_DecodeUTF8(label.data(), static_cast<Py_ssize_t>(label.size()), nullptr));
        if (!text) {
          PyErr_Clear();
          text = checked(PyUnicode_DecodeUTF8(label.data(), static_cast<Py_ssize_t>(label.size()), "replace"));
        }
        labels_.emplace(code, std::move(text));
      }
      break;
    default:
      break;
  }
}

void NativeColumn::read(NativeReader& in, uint64_t rows, std::vector<py::object>& out) {
  if (type_.low_cardinality) return read_low_cardinality(in, rows, out);
  if (!type_.nullable) return read_values(in, rows, out);
  const char* nulls = in.array(rows, 1);
  const size_t first = out.size();
  read_values(in, rows, out);
  for (uint64_t r = 0; r < rows; ++r) {
    if (nulls[r] != 0) out[first + r] = borrowed(Py_None);
  }
}

void NativeColumn::read_low_cardinality(NativeReader& in, uint64_t rows, std::vector<py::object>& out) {
  in.fixed<uint64_t>();  // dictionary format version
  const auto index_type = in.fixed<uint64_t>();
  const unsigned key_width_log = index_type & 0xFF;
  if (key_width_log > 3) raise(PyExc_ValueError, "Native data: bad LowCardinality index type");
  const auto dictionary_size = in.fixed<uint64_t>();
  std::vector<py::object> dictionary;
  dictionary.reserve(static_cast<size_t>(std::min<uint64_t>(dictionary_size, in.remaining())));
  read_values(in, dictionary_size, dictionary);
  // With a nullable value type, entry 0 stands for NULL.
  if (type_.nullable && !dictionary.empty()) dictionary[0] = borrowed(Py_None);
  const auto count = in.fixed<uint64_t>();
  if (count != rows) raise(PyExc_ValueError, "Native data: LowCardinality row count differs from the block's");
  const size_t width = size_t{1} << key_width_log;
  const char* keys = in.array(count, width);
  for (uint64_t r = 0; r < count; ++r) {
    uint64_t key = 0;
    std::memcpy(&key, keys + r * width, width);  // little-endian host
    if (key >= dictionary.size()) raise(PyExc_ValueError, "Native data: LowCardinality index out of range");
    out.push_back(dictionary[static_cast<size_t>(key)]);
  }
}

void NativeColumn::read_values(NativeReader& in, uint64_t rows, std::vector<py::object>& out) {
  if (type_.base == NativeBase::String) {
    for (uint64_t r = 0; r < rows; ++r) out.push_back(text(in.text()));
    return;
  }
  const uint32_t width = type_.width;
  const char* data = in.array(rows, width);
  if (!is_fixed_width_scalar(type_.base)) {
    for (uint64_t r = 0; r < rows; ++r) out.push_back(value(data + r * width, width));
    return;
  }
  if (!numbers_) numbers_ = std::make_unique<BitsCache<>>();
  for (uint64_t r = 0; r < rows; ++r) {
    const char* at = data + r * width;
    uint64_t bits = 0;
    std::memcpy(&bits, at, width);
    out.push_back(numbers_->get(bits, [&] { return value(at, width); }));
  }
}

py::object NativeColumn::value(const char* at, uint32_t size) {
  switch (type_.base) {
    case NativeBase::Int8: return checked(PyLong_FromLong(load<int8_t>(at)));
    case NativeBase::Int16: return checked(PyLong_FromLong(load<int16_t>(at)));
    case NativeBase::Int32: return checked(PyLong_FromLong(load<int32_t>(at)));
    case NativeBase::Int64: return checked(PyLong_FromLongLong(load<int64_t>(at)));
    case NativeBase::UInt8: return checked(PyLong_FromUnsignedLong(load<uint8_t>(at)));
    case NativeBase::UInt16: return checked(PyLong_FromUnsignedLong(load<uint16_t>(at)));
    case NativeBase::UInt32: return checked(PyLong_FromUnsignedLong(load<uint32_t>(at)));
    case NativeBase::UInt64: return checked(PyLong_FromUnsignedLongLong(load<uint64_t>(at)));
    case NativeBase::Int128:
    case NativeBase::Int256: return long_from_bytes(at, size, true);
    case NativeBase::UInt128:
    case NativeBase::UInt256: return long_from_bytes(at, size, false);
    case NativeBase::Float32: return checked(PyFloat_FromDouble(load<float>(at)));
    case NativeBase::Float64: return checked(PyFloat_FromDouble(load<double>(at)));
    case NativeBase::Bool: return borrowed(load<uint8_t>(at) != 0 ? Py_True : Py_False);
    case NativeBase::Decimal32: return decimal(load<int32_t>(at));
    case NativeBase::Decimal64: return decimal(load<int64_t>(at));
    case NativeBase::FixedString: return fixed_bytes({at, size});
    case NativeBase::UUID: return uuid(at);
    case NativeBase::Enum8:
    case NativeBase::Enum16: {
      const int code = type_.base == NativeBase::Enum8 ? load<int8_t>(at) : load<int16_t>(at);
      auto it = labels_.find(code);
      return borrowed(it == labels_.end() ? Py_None : it->second.ptr());
    }
    case NativeBase::Date: return date(load<uint16_t>(at));
    case NativeBase::Date32: return date(load<int32_t>(at));
    case NativeBase::DateTime: return date_time(load<uint32_t>(at), 0);
    case NativeBase::DateTime64: {
      const int64_t ticks = load<int64_t>(at);
      const int64_t per_second = type_.ticks_per_second;
      int64_t seconds = ticks / per_second;
      if (ticks % per_second < 0) --seconds;
      const int64_t fraction = ticks - seconds * per_second;
      return date_time(seconds, fraction * 1000000 / per_second);
    }
    case NativeBase::String: break;
  }
  raise(PyExc_SystemError, "Native column of an unexpected type");
}

// UTF-8 as it is; bytes that are no UTF-8 as their hex digits.
py::object NativeColumn::text(std::string_view bytes) {
  auto make = [&]() {
    py::object s = stolen(PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr));
    if (s) return s;
    if (!PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) throw_pending();
    PyErr_Clear();
    py::object raw = checked(PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size())));
    return checked(PyObject_CallMethod(raw.ptr(), "hex", nullptr));
  };
  if (!texts_) texts_ = std::make_unique<TextCache<>>();
  return texts_->get(bytes, make);
}

py::object NativeColumn::fixed_bytes(std::string_view bytes) {
  return checked(PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size())));
}

py::object NativeColumn::date(int64_t days) {
  return date_from_days(days);
}

py::object NativeColumn::date_time(int64_t seconds, int64_t micros) {
  if (!zone_.zone) return utc_fields_datetime(seconds, micros, nullptr);
  if (zone_.utc_equivalent) return utc_fields_datetime(seconds, micros, zone_.zone.ptr());
  return zoned_datetime(seconds, micros, zone_.zone.ptr());
}

py::object NativeColumn::decimal(int64_t unscaled) {
  py::object number = checked(PyLong_FromLongLong(unscaled));
  py::object value = checked(PyObject_CallOneArg(decimal_type_.ptr(), number.ptr()));
  if (type_.scale == 0) return value;
  py::object exponent = checked(PyLong_FromLong(-type_.scale));
  return checked(PyObject_CallMethod(value.ptr(), "scaleb", "O", exponent.ptr()));
}

// As clickhouse-connect builds them: the int set directly, marked unsafe.
py::object NativeColumn::uuid(const char* at) {
  // The 128-bit value high * 2^64 + low, little-endian.
  char little[16];
  std::memcpy(little, at + 8, 8);
  std::memcpy(little + 8, at, 8);
  py::object number = long_from_bytes(little, 16, false);
  PyTypeObject* type = reinterpret_cast<PyTypeObject*>(uuid_type_.ptr());
  py::object args = checked(PyTuple_New(0));
  py::object made = checked(type->tp_new(type, args.ptr(), nullptr));
  py::object int_name = checked(PyUnicode_InternFromString("int"));
  py::object safe_name = checked(PyUnicode_InternFromString("is_safe"));
  if (PyObject_GenericSetAttr(made.ptr(), int_name.ptr(), number.ptr()) < 0) throw_pending();
  if (PyObject_GenericSetAttr(made.ptr(), safe_name.ptr(), safe_unsafe_.ptr()) < 0) throw_pending();
  return made;
}

}  // namespace pelmora::records
