#include "account/account.h"
#include "account/endpoints.h"
#include "core/host.h"

namespace pelmora::account {

using namespace pybind11::literals;

bool risk_platform_connected(py::object) {
  try {
    py::object conn = module_attr("socket").attr("create_connection")(
        py::make_tuple(risk_platform_host(), kRiskPlatformPort), "timeout"_a = kProbeTimeout);
    conn.attr("close")();
    return true;
  } catch (py::error_already_set& e) {
    if (!is_exception(e)) throw;
    return false;
  }
}

}  // namespace pelmora::account
