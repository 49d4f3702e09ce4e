#include "bindings.h"
#include "core/python_literal.h"

namespace pelmora {

void bind_python_literal(py::module_& m) {
  m.def("_read_python_literal", &read_python_literal, py::arg("text"),
        "A cache text in Python literal notation read back without running it.");
}

}  // namespace pelmora
