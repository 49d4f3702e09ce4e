#include "bindings.h"
namespace py = pybind11;
PYBIND11_MODULE(Pelmora, m) {
  m.attr("CENTRAL_HOST") = PELMORA_CENTRAL_HOST;
  pelmora::bind_records(m);
}
