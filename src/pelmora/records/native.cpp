#include "records/native.h"

#include <algorithm>

#include "records/column_type.h"
#include "records/input.h"
#include "records/temporal.h"
#include "records/writer.h"

namespace pelmora::records {
namespace {

py::object utf8_text(std::string_view bytes) {
  return checked(PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr));
}

// Block info: numbered fields (1: is_overflows, one byte; 2: bucket_num, four), ended by 0.
void skip_block_info(NativeReader& in) {
  for (uint64_t field = in.varint(); field != 0; field = in.varint()) {
    if (field == 1) {
      in.bytes(1);
    } else if (field == 2) {
      in.bytes(4);
    } else {
      raise(PyExc_ValueError, "Native data: unknown block info field");
    }
  }
}

bool is_time(const NativeType& type) {
  return type.base == NativeBase::DateTime || type.base == NativeBase::DateTime64;
}

bool mentions(const std::vector<std::string>& text_columns, py::handle key) {
  if (!PyUnicode_Check(key.ptr())) return false;
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(key.ptr(), &size);
  if (utf8 == nullptr) {
    PyErr_Clear();
    return false;
  }
  const std::string_view name(utf8, static_cast<size_t>(size));
  return std::find(text_columns.begin(), text_columns.end(), name) != text_columns.end();
}

// The columns as the first block declares them, and their values so far.
struct Column {
  std::string name;  // as sent
  std::string type;
  NativeColumn decoder;
  std::vector<py::object> cells;
};

}  // namespace

std::optional<py::list> native_records(std::string_view data, const std::vector<std::string>& text_columns,
                                       py::handle fixed_names, const ZoneOf& zone_of, bool block_info) {
  temporal_init();
  NativeReader in(data);
  std::vector<Column> columns;
  py::object keys;  // the names the rows carry
  uint64_t total_rows = 0;
  bool first_block = true;

  while (!in.at_end()) {
    if (block_info) skip_block_info(in);
    const uint64_t width = in.varint();
    const uint64_t rows = in.varint();
    if (first_block) {
      // Each column takes at least the lengths of its name and type.
      if (width > in.remaining() / 2) raise(PyExc_ValueError, "Native data ends inside a block");
      if (fixed_names) {
        keys = checked(PySequence_Tuple(fixed_names.ptr()));
        if (static_cast<uint64_t>(PyTuple_GET_SIZE(keys.ptr())) != width) return std::nullopt;
      } else {
        keys = checked(PyTuple_New(static_cast<Py_ssize_t>(width)));
      }
    } else if (width != columns.size()) {
      raise(PyExc_ValueError, "Native data: blocks differ in their columns");
    }
    for (uint64_t c = 0; c < width; ++c) {
      const std::string_view name = in.text();
      const std::string_view type_name = in.text();
      if (first_block) {
        std::optional<NativeType> type = parse_native_type(type_name);
        if (!type) return std::nullopt;
        if (!fixed_names) PyTuple_SET_ITEM(keys.ptr(), static_cast<Py_ssize_t>(c), utf8_text(name).release().ptr());
        // Only text columns show a date-time's zone.
        TimeZoneRule zone;
        if (is_time(*type) && mentions(text_columns, PyTuple_GET_ITEM(keys.ptr(), static_cast<Py_ssize_t>(c)))) {
          std::optional<TimeZoneRule> rule = zone_of(PyTuple_GET_ITEM(keys.ptr(), static_cast<Py_ssize_t>(c)), type->zone);
          if (!rule) return std::nullopt;
          zone = std::move(*rule);
        }
        columns.push_back(Column{std::string(name), std::string(type_name), NativeColumn(std::move(*type), std::move(zone)), {}});
      } else if (name != columns[c].name || type_name != columns[c].type) {
        raise(PyExc_ValueError, "Native data: blocks differ in their columns");
      }
      // A block without rows carries no column data.
      if (rows != 0) {
        Column& column = columns[c];
        column.cells.reserve(column.cells.size() + static_cast<size_t>(std::min<uint64_t>(rows, in.remaining())));
        column.decoder.read(in, rows, column.cells);
      }
    }
    total_rows += rows;
    first_block = false;
  }

  if (total_rows == 0 || columns.empty()) return py::list();
  const Columns names = read_columns(keys.ptr());
  const std::vector<bool> is_text = text_flags(names, text_columns);
  require_unique(names);
  std::vector<InferredColumn> types;
  types.reserve(columns.size());
  for (const Column& column : columns) types.push_back(infer_column(column.cells));
  RecordWriter writer(names, types, is_text);
  return writer.write(static_cast<size_t>(total_rows),
                      [&columns](size_t r, size_t c) { return columns[c].cells[r].ptr(); });
}

}  // namespace pelmora::records
