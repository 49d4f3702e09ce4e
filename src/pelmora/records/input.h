// Reading a query result: column names, rows, text columns.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/py_ref.h"

namespace pelmora::records {

struct Columns {
  std::vector<py::object> keys;                // exact str per column, shared by every row
  std::vector<std::string_view> names;  // their UTF-8, owned by the key objects
};

// Texts (or ints, as their str()); TypeError for anything else.
Columns read_columns(PyObject* column_names);

// Strong references to every row as a tuple of exactly `width` values: the
// rows stay valid whatever the values' own code does to the result set
// meanwhile. TypeError for a row that is no sequence, ValueError for a
// row of another width.
std::vector<py::object> read_rows(PyObject* result_set, Py_ssize_t width);

// Which columns are text columns; KeyError for a name not among them.
std::vector<bool> text_flags(const Columns& columns, const std::vector<std::string>& text_columns);

// ValueError for a repeated column name, as the records encoding refuses them.
void require_unique(const Columns& columns);

}  // namespace pelmora::records
