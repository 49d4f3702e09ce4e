// Table arrays made straight from located Native columns.
#pragma once
#include "core/py_ref.h"
#include "records/native_direct.h"

namespace pelmora::records {

// Which values a table holds: the query's own, or the records' (floats as
// the records' JSON renders them, non-finite ones missing).
enum class CellValues : uint8_t { Query, Records };

// pandas' dtype for texts when it is Arrow-backed; None otherwise (object
// or Python-backed texts are made from the values themselves).
py::object arrow_text_dtype();

// Whether a located column's array is made straight from its bytes: numbers
// always, texts when pandas keeps them in an Arrow dtype and all are UTF-8.
// `text_dtype` is that dtype, asked for at the first text column.
bool made_direct(const DirectColumn& located, py::object& text_dtype);

// The array pandas would make of the column's values: int64 (uint64 for a
// UInt64 column above int64), float64, or `text_dtype` for texts (which
// must all be UTF-8).
py::object direct_array(const DirectColumn& column, CellValues values, py::handle text_dtype);

}  // namespace pelmora::records
