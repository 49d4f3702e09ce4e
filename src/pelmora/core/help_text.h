// A member's help text: its signature line in the interpreter's own form,
// made from the same argument objects that register the member, then its
// text. The interpreter takes "name(self, /, arg=default)" followed by a "--"
// line as the function's __text_signature__, so inspect.signature(), help()
// and a notebook's completion show the real names and defaults; pybind11's own
// signature lines are turned off where this is used.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <utility>

namespace pelmora {
namespace py = pybind11;

class SignatureLine {
 public:
  SignatureLine(std::string_view name, bool method) : text_(name) {
    text_.push_back('(');
    if (method) part("self, /");
  }
  void add(const py::arg_v& a) {
    // ASCII, as inspect reads a text signature: non-ASCII defaults escaped.
    part(std::string(a.name) + "=" + py::str(py::module_::import("builtins").attr("ascii")(a.value)).cast<std::string>());
  }
  void add(const py::arg& a) { part(a.name); }
  void add(const py::kw_only&) { part("*"); }
  void add(const py::pos_only&) { part("/"); }
  template <typename Other>
  void add(const Other&) {}  // other extras (name, is_method, ...) have no place in the line
  std::string done(std::string_view body) && {
    return std::move(text_) + ")\n--\n\n" + std::string(body);
  }

 private:
  void part(std::string_view p) {
    if (!first_) text_ += ", ";
    text_ += p;
    first_ = false;
  }
  std::string text_;
  bool first_ = true;
};

template <typename... Extra>
std::string help_text(std::string_view name, bool method, std::string_view body, const Extra&... extra) {
  SignatureLine line(name, method);
  (line.add(extra), ...);
  return std::move(line).done(body);
}

}  // namespace pelmora
