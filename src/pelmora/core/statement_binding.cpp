#include "bindings.h"
#include "core/statement.h"

namespace pelmora {

void bind_statements(py::module_& m) {
  m.def(
      "_row_insert_text",
      [](std::string_view opening, py::handle columns, py::handle values, std::string_view closing) {
        return Statement().insert_row(opening, columns, values, closing).str();
      },
      py::arg("opening"), py::arg("columns"), py::arg("values"), py::arg("closing"),
      "One row's INSERT text as the uploads build it.");
}

}  // namespace pelmora
