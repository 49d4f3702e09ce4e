#include <pybind11/pybind11.h>
namespace py = pybind11;
PYBIND11_MODULE(Pelmora, m) {
  m.attr("CENTRAL_HOST") = PELMORA_CENTRAL_HOST;
}
