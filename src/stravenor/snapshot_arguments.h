// The five text arguments of query_trader_all_info, checked before anything
// reaches the library.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace stravenor {
namespace py = pybind11;

// "ip, port, userid, password, option": the names the arguments are parsed
// by, for the messages and the help text's signature line.
std::string snapshot_argument_list();

struct SnapshotArguments {
  py::str ip, port, userid, password, option;
};

// Positional or keyword; raises TypeError when not exactly the five are
// given, or when one is not a str (None included), naming it; ValueError
// naming the first argument that holds a NUL character.
SnapshotArguments parse_snapshot_arguments(const py::args& args, const py::kwargs& kwargs);

}  // namespace stravenor
