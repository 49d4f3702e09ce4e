// A Native result decoded column by column: every column's values as
// clickhouse-connect's query gives them, before any row is made.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/py_ref.h"
#include "records/native_column.h"
#include "records/native_direct.h"

namespace pelmora::records {

// The zone rule of a date-time column (`name`, the zone named in its type or
// empty); nullopt declines, and the result is read the other way.
using ZoneOf = std::function<std::optional<TimeZoneRule>(py::handle name, const std::string& type_zone)>;

// Whether a column's date-times show their zone (others are read naive).
using ShowsZone = std::function<bool(py::handle name)>;

struct NativeTable {
  py::object keys;  // tuple of the column names (or the fixed ones)
  std::vector<std::vector<py::object>> cells;  // empty for a direct column
  std::vector<DirectColumn> direct;            // kind None: read into cells
  std::vector<NativeColumn> decoders;
  size_t rows = 0;

  // A direct column's values read into its cells after all.
  void read_cells(size_t column);
};

// nullopt for a column type not decoded here, or `fixed_names` (used in
// place of the result's own) of another count than the columns. No bytes at
// all give no columns. Truncated or malformed bytes raise ValueError.
// `direct`: columns of a direct kind are located rather than read (the
// bytes must then outlive the table). `block_info`: each block opens with its
// block info, as a server sends Native to a client that names protocol
// revision 51903 or later.
std::optional<NativeTable> native_table(std::string_view data, py::handle fixed_names, const ShowsZone& shows_zone,
                                        const ZoneOf& zone_of, bool direct = false, bool block_info = false);

}  // namespace pelmora::records
