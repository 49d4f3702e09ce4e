// History rows: a store query result turned into row dictionaries exactly as
//   df = pandas.DataFrame(result_set, columns=column_names)
//   for c in text_columns: df[c] = df[c].apply(str)
//   json.loads(df.to_json(orient="records"))   # epoch ms, 10 decimals
// gives them, without building either the table or the JSON text.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

namespace pelmora::records {
namespace py = pybind11;

// One dict per row, keys the column names in order (the same key objects in
// every row). Every failure is a pending Python exception thrown as
// py::error_already_set (never a crash):
//  - TypeError: result_set not iterable, a row that is no sequence (or is a
//    text, bytes or dict), column_names a text, a name neither text nor int;
//  - ValueError: a row shorter or longer than column_names (pandas pads
//    short rows with NaN; we refuse them), duplicate column names;
//  - KeyError(name): a text column that is not among the columns;
//  - whatever the values raise where pandas fails too: OverflowError for a
//    date in a mixed column outside 1677-2262, UnicodeEncodeError for lone
//    surrogates, UnicodeDecodeError for bytes that are not UTF-8,
//    decimal.InvalidOperation for a signalling NaN.
py::list build(py::handle result_set, py::handle column_names,
                    const std::vector<std::string>& text_columns);

}  // namespace pelmora::records
