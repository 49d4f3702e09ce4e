// The dtype the table library infers for a column built from row tuples,
// reduced to what decides how its values come out.
#pragma once
#include <cstdint>
#include <vector>

#include "core/py_ref.h"

namespace pelmora::records {

enum class ColumnType : uint8_t {
  Int,         // int64 or uint64: ints as they are
  Bool,        // bools only, no missing value
  Float,       // numbers with a float or a missing value: all become floats
  String,      // texts and missing values
  Datetime,    // naive date-times and missing values
  DatetimeTz,  // date-times of one zone and missing values
  Timedelta,   // durations and missing values
  Object,      // anything else: each value on its own
};

struct InferredColumn {
  ColumnType type = ColumnType::Object;
  PyObject* zone = nullptr;  // DatetimeTz: the column's zone (borrowed from a value)
};

// One type per column; `rows`: tuples of `width` values, at least one row.
std::vector<InferredColumn> infer_columns(const std::vector<py::object>& rows, Py_ssize_t width);

// The type of one column given as its values, at least one.
InferredColumn infer_column(const std::vector<py::object>& values);

}  // namespace pelmora::records
