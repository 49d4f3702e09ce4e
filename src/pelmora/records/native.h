// Records straight from ClickHouse Native bytes: the columns become the
// values clickhouse-connect's query would give, and the rows are built by
// the same rules as `build` applies to a query result.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/py_ref.h"
#include "records/native_column.h"

namespace pelmora::records {

// The zone rule of a text date-time column (`name`, the zone named in its
// type or empty); nullopt declines, and the result is read the other way.
using ZoneOf = std::function<std::optional<TimeZoneRule>(py::handle name, const std::string& type_zone)>;

// The records of a Native result; nullopt for a column type not decoded
// here, or `fixed_names` (used in place of the result's own) of another
// count than the columns. A result without rows gives an empty list before
// any check of the columns. Truncated or malformed bytes raise ValueError.
// `block_info`: each block opens with its block info, as a server sends
// Native to a client that names protocol revision 51903 or later.
std::optional<py::list> native_records(std::string_view data, const std::vector<std::string>& text_columns,
                                       py::handle fixed_names, const ZoneOf& zone_of, bool block_info = false);

}  // namespace pelmora::records
