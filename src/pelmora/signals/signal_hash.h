// The signal hash: one Redis hash per trading day, one field per account and
// contract ("<account>_<contract>"), each holding the signal as JSON text.
#pragma once
#include <pybind11/pybind11.h>

#include <string_view>
#include <utility>
#include <vector>

namespace pelmora::signals::hash {
namespace py = pybind11;

// The hash records of accepted rows: the eleven value members, indexed by
// field. A copy: the rows are not changed.
py::object records_of(py::handle rows);

// (field, JSON text) of every record, in row order. The table's JSON is
// decoded as JSON; a record holding null, true or false is refused with the
// NameError Python gives for that name, since the desk's readers have
// never been handed such a value.
using Texts = std::vector<std::pair<py::object, py::object>>;
Texts encode(py::handle records);

// Writes the day's records into `cache`. Outside continuous holding: a first
// pass with feature raised by 20, a second with the records' own feature,
// then the account's fields this upload did not write are removed. In
// continuous holding (feature raised already): one pass, nothing removed.
void write(py::handle cache, py::handle day, py::handle records, std::string_view account,
           bool continuous);

}  // namespace pelmora::signals::hash
