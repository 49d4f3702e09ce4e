#include <pybind11/pybind11.h>

#include "snapshot_query.h"
#include "trader_library.h"

PYBIND11_MODULE(Stravenor, m) {
  m.doc() = "Live snapshot of an account from the risk-control platform.";
  stravenor::load_trader_library();
  stravenor::bind_snapshot_query(m);
}
