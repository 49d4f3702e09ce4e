// A private hook for the guard's tests: throws a standard exception either
// straight out of a bound function (pybind11 translates it) or inside the
// guard (which answers with the error's repr).
#include <functional>
#include <new>
#include <stdexcept>
#include <string_view>

#include "bindings.h"
#include "core/guard.h"

namespace pelmora {

namespace {

struct Plain : std::exception {
  const char* what() const noexcept override { return "plain"; }
};

[[noreturn]] void throw_kind(std::string_view kind) {
  if (kind == "bad_alloc") throw std::bad_alloc();
  if (kind == "domain_error") throw std::domain_error("domain");
  if (kind == "invalid_argument") throw std::invalid_argument("invalid");
  if (kind == "length_error") throw std::length_error("length");
  if (kind == "out_of_range") throw std::out_of_range("out of range");
  if (kind == "range_error") throw std::range_error("range");
  if (kind == "overflow_error") throw std::overflow_error("overflow");
  if (kind == "underflow_error") throw std::underflow_error("underflow");
  if (kind == "logic_error") throw std::logic_error("logic");
  if (kind == "runtime_error") throw std::runtime_error("runtime");
  if (kind == "exception") throw Plain();
  if (kind == "value_error") throw py::value_error("value");
  if (kind == "index_error") throw py::index_error("index");
  if (kind == "key_error") throw py::key_error("key");
  if (kind == "type_error") throw py::type_error("type");
  if (kind == "stop_iteration") throw py::stop_iteration("stop");
  if (kind == "cast_error") throw py::cast_error("cast");
  throw py::value_error("unknown kind");
}

}  // namespace

void bind_guard(py::module_& m) {
  m.def(
      "_throw_for_test",
      [](std::string_view kind, bool guard) -> py::object {
        if (!guard) throw_kind(kind);
        return guarded([&]() -> py::object { throw_kind(kind); },
                       [](py::str repr) -> py::object { return std::move(repr); });
      },
      py::arg("kind"), py::arg("guard"), "Throws a C++ exception of the named kind, for the guard's tests.");
}

}  // namespace pelmora
