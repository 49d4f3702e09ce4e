#include "bindings.h"
namespace pelmora {
void bind_records(py::module_&) {}
}  // namespace pelmora
