#include "core/result.h"

namespace pelmora {

py::dict result(int code, py::handle msg) {
  py::dict d;
  d["code"] = code;
  d["msg"] = msg;
  return d;
}

py::dict result(int code, std::string_view msg) {
  return result(code, py::str(msg.data(), msg.size()));
}

py::dict result(int code, std::string_view msg, py::handle data) {
  py::dict d = result(code, msg);
  d["data"] = data;
  return d;
}

py::dict data_result(int code, py::handle data) {
  py::dict d;
  d["code"] = code;
  d["data"] = data;
  return d;
}

py::dict failure(const py::str& msg) { return result(1, msg); }

bool usable(py::handle self) {
  py::object sum = self.attr("login") + self.attr("connect_tag");
  return sum.equal(py::int_(0));
}

py::dict init_failed() { return result(1, kInitFailed); }

py::str error_repr(const py::error_already_set& e) { return py::repr(e.value()); }

}  // namespace pelmora
