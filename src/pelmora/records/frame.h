// Tables made from whole columns of values, with the dtypes pandas gives the
// same values row by row.
#pragma once
#include <vector>

#include "core/py_ref.h"

namespace pelmora::records {

// One column as a numpy array: ints (int64, or uint64 above it), floats
// (None as NaN) and bools as numbers, by the same inference pandas applies
// to row values; anything else as an object array of the values themselves,
// which pandas then infers as it would from rows.
py::object column_array(const std::vector<py::object>& values);

// pd.DataFrame of the arrays, the columns named by `keys` in order
// (repeated names stay apart).
py::object frame_of(py::handle keys, std::vector<py::object> arrays);

}  // namespace pelmora::records
