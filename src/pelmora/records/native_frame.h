// Tables straight from ClickHouse Native bytes, made from whole columns.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/py_ref.h"
#include "records/native_table.h"

namespace pelmora::records {

// Replaces one column's record values one by one; for a column name, the
// function to apply or an empty one.
using ValueEdit = std::function<py::object(py::handle value)>;
using ColumnEdits = std::function<ValueEdit(const std::string& column)>;

// The edit `edits` has for the column named `name`; empty for none.
ValueEdit edit_of(const ColumnEdits& edits, py::handle name);

// pd.DataFrame(<the records of native_records, edited>) without any row
// dict; no rows: pd.DataFrame([]). nullopt where native_records declines;
// its errors (ValueError, KeyError, ...) alike.
std::optional<py::object> native_records_frame(std::string_view data, const std::vector<std::string>& text_columns,
                                               py::handle fixed_names, const ZoneOf& zone_of,
                                               const ColumnEdits& edits, bool block_info = false);

// pd.DataFrame(result_set, columns=column_names) of the query result these
// bytes stand for; no rows: that of an empty result_set. nullopt for a
// column type not decoded here.
std::optional<py::object> native_values_frame(std::string_view data, const ZoneOf& zone_of, bool block_info = false);

}  // namespace pelmora::records
