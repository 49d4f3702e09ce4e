// Records of a statement run on a ClickHouse client: Native bytes from the
// client's raw_query, decoded here; or, for a client without raw_query or a
// column type not decoded here, the client's query and its result_set.
// Both give the same records.
#pragma once
#include <string>
#include <vector>

#include "core/py_ref.h"

namespace pelmora::records {

// `fixed_names` (a sequence, or a null handle) replaces the result's own
// column names. No rows: an empty list, whatever the columns.
py::list query_records(py::handle client, const std::string& statement, const std::vector<std::string>& text_columns,
                       py::handle fixed_names = py::handle());

}  // namespace pelmora::records
