#include "account/account.h"
#include "core/guard.h"
#include "core/python.h"
#include "core/stores.h"

namespace pelmora::account {

using namespace pybind11::literals;

bool risk_platform_connected(py::object) {
  return guarded(
      [] {
        py::object conn = module_attr("socket").attr("create_connection")(
            py::make_tuple(stores::risk_platform_host(), stores::port_number(stores::kRiskPlatformPort)),
            "timeout"_a = stores::kProbeTimeout);
        conn.attr("close")();
        return true;
      },
      [](const py::str&) { return false; });
}

}  // namespace pelmora::account
