#include "snapshot_arguments.h"

#include <array>
#include <string>

namespace stravenor {

namespace {

constexpr std::array<const char*, 5> kNames = {"ip", "port", "userid", "password", "option"};
constexpr const char* kFunction = "query_trader_all_info()";

[[noreturn]] void type_error(const std::string& text) { throw py::type_error(kFunction + (" " + text)); }

[[noreturn]] void wrong_count(std::size_t given) {
  type_error("takes exactly 5 arguments (" + snapshot_argument_list() + "), " + std::to_string(given) + " given");
}

}  // namespace

std::string snapshot_argument_list() {
  std::string list;
  for (const char* name : kNames) list.append(list.empty() ? "" : ", ").append(name);
  return list;
}

SnapshotArguments parse_snapshot_arguments(const py::args& args, const py::kwargs& kwargs) {
  const std::size_t positional = args.size();
  if (positional > kNames.size()) wrong_count(positional + kwargs.size());

  std::array<py::object, 5> values;
  for (std::size_t i = 0; i < positional; ++i) values[i] = args[i];
  for (auto item : kwargs) {
    const std::string key = py::str(item.first);
    std::size_t slot = 0;
    while (slot < kNames.size() && key != kNames[slot]) ++slot;
    if (slot == kNames.size()) type_error("got an unexpected keyword argument '" + key + "'");
    if (values[slot]) type_error("got multiple values for argument '" + key + "'");
    values[slot] = py::reinterpret_borrow<py::object>(item.second);
  }
  for (const auto& value : values) {
    if (!value) wrong_count(positional + kwargs.size());
  }
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (!py::isinstance<py::str>(values[i])) {
      type_error("argument '" + std::string(kNames[i]) + "' must be str, not " +
                 std::string(py::str(py::type::of(values[i]).attr("__name__"))));
    }
  }
  // A NUL would end the text the library sees: "580914\0junk" would log in
  // as "580914".
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    PyObject* text = values[i].ptr();
    const Py_ssize_t at = PyUnicode_FindChar(text, 0, 0, PyUnicode_GetLength(text), 1);
    if (at == -2) throw py::error_already_set();
    if (at >= 0) {
      throw py::value_error(kFunction + (" argument '" + std::string(kNames[i]) +
                                         "' must not contain a NUL character"));
    }
  }
  return {py::str(values[0]), py::str(values[1]), py::str(values[2]), py::str(values[3]),
          py::str(values[4])};
}

}  // namespace stravenor
