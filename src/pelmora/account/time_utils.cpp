#include "account/account.h"
#include "core/python.h"

namespace pelmora::account {

py::str unix_to_datetime(py::object unix_timestamp) {
  py::object dt = module_attr("datetime");
  py::object utc = dt.attr("timezone").attr("utc");
  return dt.attr("datetime").attr("fromtimestamp")(unix_timestamp, utc).attr("strftime")("%Y-%m-%d");
}

py::object contract_format(py::object) { return py::none(); }

}  // namespace pelmora::account
