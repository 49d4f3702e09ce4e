// The trader library's nine functions, resolved once at import.
#pragma once

#include "shared_library.h"
#include "trader_api.h"

namespace stravenor {

struct TraderLibrary {
  // The API library is loaded first and kept loaded; none of its functions
  // is called. Declared first so it is unloaded last.
  SharedLibrary api;
  SharedLibrary trader;

  decltype(&::StartTrader) StartTrader = nullptr;
  decltype(&::GetResult) GetResult = nullptr;
  decltype(&::GetPositionCount) GetPositionCount = nullptr;
  decltype(&::GetTradeCount) GetTradeCount = nullptr;
  decltype(&::GetOrderCount) GetOrderCount = nullptr;
  decltype(&::GetPosition) GetPosition = nullptr;
  decltype(&::GetTrade) GetTrade = nullptr;
  decltype(&::GetOrder) GetOrder = nullptr;
  decltype(&::StopTrader) StopTrader = nullptr;
};

// Loads both libraries from the module's folder (once per process). Throws
// pybind11::import_error naming the library or function that is missing.
void load_trader_library();

// The loaded library; only valid after load_trader_library succeeded.
const TraderLibrary& trader_library();

}  // namespace stravenor
