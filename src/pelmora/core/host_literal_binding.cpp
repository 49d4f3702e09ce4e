#include "bindings.h"
#include "core/host_literal.h"

namespace pelmora {

void bind_host_literal(py::module_& m) {
  m.def("_read_host_literal", &read_host_literal, py::arg("text"),
        "A cache text in host literal notation read back without running it.");
}

}  // namespace pelmora
