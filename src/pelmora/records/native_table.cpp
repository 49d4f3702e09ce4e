#include "records/native_table.h"

#include <algorithm>

#include "records/temporal.h"

namespace pelmora::records {
namespace {

py::object utf8_name(std::string_view bytes) {
  return checked(PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr));
}

bool is_time(const NativeType& type) {
  return type.base == NativeBase::DateTime || type.base == NativeBase::DateTime64;
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

// A column as the first block declares it.
struct Declared {
  std::string name;  // as sent
  std::string type;
};

}  // namespace

void NativeTable::read_cells(size_t column) {
  DirectColumn& located = direct[column];
  std::vector<py::object>& out = cells[column];
  out.reserve(static_cast<size_t>(located.rows));
  for (const auto& [bytes, count] : located.blocks) {
    NativeReader in(bytes);
    decoders[column].read(in, count, out);
  }
  located = DirectColumn{};
}

std::optional<NativeTable> native_table(std::string_view data, py::handle fixed_names, const ShowsZone& shows_zone,
                                        const ZoneOf& zone_of, bool direct, bool block_info) {
  temporal_init();
  NativeReader in(data);
  std::vector<Declared> columns;
  NativeTable table;
  bool first_block = true;

  while (!in.at_end()) {
    if (block_info) skip_block_info(in);
    const uint64_t width = in.varint();
    const uint64_t rows = in.varint();
    if (first_block) {
      // Each column takes at least the lengths of its name and type.
      if (width > in.remaining() / 2) raise(PyExc_ValueError, "Native data ends inside a block");
      if (fixed_names) {
        table.keys = checked(PySequence_Tuple(fixed_names.ptr()));
        if (static_cast<uint64_t>(PyTuple_GET_SIZE(table.keys.ptr())) != width) return std::nullopt;
      } else {
        table.keys = checked(PyTuple_New(static_cast<Py_ssize_t>(width)));
      }
      table.cells.resize(static_cast<size_t>(width));
      table.direct.resize(static_cast<size_t>(width));
    } else if (width != columns.size()) {
      raise(PyExc_ValueError, "Native data: blocks differ in their columns");
    }
    for (uint64_t c = 0; c < width; ++c) {
      const std::string_view name = in.text();
      const std::string_view type_name = in.text();
      if (first_block) {
        std::optional<NativeType> type = parse_native_type(type_name);
        if (!type) return std::nullopt;
        const auto at = static_cast<Py_ssize_t>(c);
        if (!fixed_names) PyTuple_SET_ITEM(table.keys.ptr(), at, utf8_name(name).release().ptr());
        TimeZoneRule zone;
        if (is_time(*type) && shows_zone(PyTuple_GET_ITEM(table.keys.ptr(), at))) {
          std::optional<TimeZoneRule> rule = zone_of(PyTuple_GET_ITEM(table.keys.ptr(), at), type->zone);
          if (!rule) return std::nullopt;
          zone = std::move(*rule);
        }
        if (direct) {
          table.direct[c].kind = direct_kind(*type);
          table.direct[c].width = type->width;
        }
        table.decoders.emplace_back(std::move(*type), std::move(zone));
        columns.push_back(Declared{std::string(name), std::string(type_name)});
      } else if (name != columns[c].name || type_name != columns[c].type) {
        raise(PyExc_ValueError, "Native data: blocks differ in their columns");
      }
      // A block without rows carries no column data.
      if (rows != 0 && table.direct[c].kind != DirectKind::None) {
        table.direct[c].read(in, rows);
      } else if (rows != 0) {
        std::vector<py::object>& cells = table.cells[c];
        cells.reserve(cells.size() + static_cast<size_t>(std::min<uint64_t>(rows, in.remaining())));
        table.decoders[c].read(in, rows, cells);
      }
    }
    table.rows += static_cast<size_t>(rows);
    first_block = false;
  }
  if (!table.keys) table.keys = checked(PyTuple_New(0));
  return table;
}

}  // namespace pelmora::records
