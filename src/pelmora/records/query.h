// Records of a statement run on a ClickHouse client: Native bytes from the
// client's raw_query, decoded here; or, for a client without raw_query or a
// column type not decoded here, the client's query and its result_set.
// Both give the same records.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/py_ref.h"
#include "records/native_frame.h"

namespace pelmora::records {

// `fixed_names` (a sequence, or a null handle) replaces the result's own
// column names. No rows: an empty list, whatever the columns.
py::list query_records(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns,
                       py::handle fixed_names = py::handle());

// pd.DataFrame(<query_records' rows, edited>): from Native bytes it is made
// from whole columns without any row dict. No rows: pd.DataFrame([]).
py::object query_records_frame(py::handle client, const std::string& statement,
                               const std::vector<std::string>& text_columns, py::handle fixed_names,
                               const ColumnEdits& edits);

// pd.DataFrame(result_set, columns=column_names) of the statement's query
// result, made from the Native columns; nullopt where the client or a column
// type takes the query path.
std::optional<py::object> query_values_frame(py::handle client, const std::string& statement);

}  // namespace pelmora::records
