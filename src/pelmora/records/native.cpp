#include "records/native.h"

#include <algorithm>

#include "records/column_type.h"
#include "records/direct_array.h"
#include "records/input.h"
#include "records/writer.h"

namespace pelmora::records {
namespace {

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

// The decoded columns with what the records need of them; nullopt where the
// Native bytes cannot be read here, an empty table for no rows.
struct Decoded {
  NativeTable table;
  Columns names;
  std::vector<bool> is_text;
  std::vector<InferredColumn> types;
};

std::optional<Decoded> decode(std::string_view data, const std::vector<std::string>& text_columns,
                              py::handle fixed_names, const ZoneOf& zone_of, bool direct, bool block_info) {
  // Only text columns show a date-time's zone: the epoch numbers are the same in every zone.
  auto shows_zone = [&text_columns](py::handle key) { return mentions(text_columns, key); };
  std::optional<NativeTable> table = native_table(data, fixed_names, shows_zone, zone_of, direct, block_info);
  if (!table) return std::nullopt;
  Decoded d{std::move(*table), {}, {}, {}};
  if (d.table.rows == 0 || d.table.cells.empty()) {
    d.table.rows = 0;
    return d;
  }
  d.names = read_columns(d.table.keys.ptr());
  d.is_text = text_flags(d.names, text_columns);
  require_unique(d.names);
  d.types.reserve(d.table.cells.size());
  for (size_t c = 0; c < d.table.cells.size(); ++c) {
    // A located column has no cells to infer from; its array is made apart.
    const bool located = d.table.direct[c].kind != DirectKind::None;
    d.types.push_back(located ? InferredColumn{} : infer_column(d.table.cells[c]));
  }
  return d;
}

}  // namespace

std::optional<py::list> native_records(std::string_view data, const std::vector<std::string>& text_columns,
                                       py::handle fixed_names, const ZoneOf& zone_of, bool block_info) {
  std::optional<Decoded> d = decode(data, text_columns, fixed_names, zone_of, false, block_info);
  if (!d) return std::nullopt;
  if (d->table.rows == 0) return py::list();
  RecordWriter writer(d->names, d->types, d->is_text);
  const auto& cells = d->table.cells;
  return writer.write(d->table.rows, [&cells](size_t r, size_t c) { return cells[c][r].ptr(); });
}

std::optional<RecordColumns> native_record_columns(std::string_view data, const std::vector<std::string>& text_columns,
                                                   py::handle fixed_names, const ZoneOf& zone_of,
                                                   const std::function<bool(py::handle name)>& keep_values,
                                                   bool block_info) {
  std::optional<Decoded> d = decode(data, text_columns, fixed_names, zone_of, true, block_info);
  if (!d) return std::nullopt;
  RecordColumns out;
  out.keys = d->table.keys;
  out.rows = d->table.rows;
  if (out.rows == 0) return out;
  const size_t width = d->table.cells.size();
  out.values.resize(width);
  out.arrays.resize(width);
  py::object text_dtype;
  for (size_t c = 0; c < width; ++c) {
    const DirectColumn& located = d->table.direct[c];
    if (located.kind == DirectKind::None) continue;
    // Text columns hold str() of their values; texts that are not all UTF-8,
    // or that pandas keeps as objects, are made value by value too.
    const bool by_value = d->is_text[c] || keep_values(d->names.keys[c]) || !made_direct(located, text_dtype);
    if (!by_value) {
      out.arrays[c] = direct_array(located, CellValues::Records, text_dtype);
      continue;
    }
    d->table.read_cells(c);
    d->types[c] = infer_column(d->table.cells[c]);
  }
  RecordWriter writer(d->names, d->types, d->is_text);
  for (size_t c = 0; c < width; ++c) {
    if (!out.arrays[c]) out.values[c] = writer.write_column(c, d->table.cells[c]);
  }
  return out;
}

}  // namespace pelmora::records
