// The split-mode override record of an account: hash "split_mode" of the
// object's cache, one field per account, the record's dict in its printed
// form ("ts", "effective_hour", "split_mode").
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::execution {
namespace py = pybind11;

// The account's record when it is in force now (a dict), else None. A record
// text that is no literal, lacks an entry or holds no date-time fails.
py::object active_override(py::handle self);

// Writes {"ts": ts, "effective_hour": hours, "split_mode": mode} as the
// account's record, replacing the previous one.
void write_override(py::handle self, py::handle ts, py::handle hours, py::handle mode);

}  // namespace pelmora::execution
