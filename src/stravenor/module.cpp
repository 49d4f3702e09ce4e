#include <pybind11/pybind11.h>

#include "docstrings.h"
#include "snapshot_query.h"
#include "trader_library.h"

PYBIND11_MODULE(Stravenor, m) {
  m.doc() = stravenor::docs::kDocStravenorModule;
  stravenor::load_trader_library();
  stravenor::bind_snapshot_query(m);
}
