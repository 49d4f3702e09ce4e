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
#include "records/native_table.h"

namespace pelmora::records {

// The records of a Native result; nullopt for a column type not decoded
// here, or `fixed_names` (used in place of the result's own) of another
// count than the columns. A result without rows gives an empty list before
// any check of the columns. Truncated or malformed bytes raise ValueError.
// `block_info` as for native_table.
std::optional<py::list> native_records(std::string_view data, const std::vector<std::string>& text_columns,
                                       py::handle fixed_names, const ZoneOf& zone_of, bool block_info = false);

// The same records column by column: `values[c][r]` is what row r's dict
// holds under column c. No rows: `rows` 0 and no values.
// Columns of a plain kind come as their table array instead (`arrays[c]`,
// else null), made from the bytes, which then must outlive the call.
struct RecordColumns {
  py::object keys;  // tuple of the names
  std::vector<std::vector<py::object>> values;
  std::vector<py::object> arrays;
  size_t rows = 0;
};
// `keep_values(name)`: that column comes as values whatever its kind.
std::optional<RecordColumns> native_record_columns(std::string_view data, const std::vector<std::string>& text_columns,
                                                   py::handle fixed_names, const ZoneOf& zone_of,
                                                   const std::function<bool(py::handle name)>& keep_values,
                                                   bool block_info = false);

}  // namespace pelmora::records
