#include "core/clock.h"

#include "core/python.h"

namespace pelmora {

namespace {
py::object datetime_class() { return module_attr("datetime").attr("datetime"); }
}  // namespace

py::object local_now() { return datetime_class().attr("now")(); }

std::string now_text(const char* fmt) {
  return local_now().attr("strftime")(fmt).cast<std::string>();
}

std::string iso_date(py::handle yyyymmdd) {
  return datetime_class()
      .attr("strptime")(yyyymmdd, "%Y%m%d")
      .attr("strftime")("%Y-%m-%d")
      .cast<std::string>();
}

py::str local_time_text(py::handle seconds, const char* fmt) {
  return datetime_class().attr("fromtimestamp")(seconds).attr("strftime")(fmt);
}

}  // namespace pelmora
