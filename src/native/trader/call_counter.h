// Per-function call counts of the exported interface, for diagnostics.
#pragma once

namespace trader {

enum class Export {
  StartTrader,
  GetResult,
  GetPositionCount,
  GetTradeCount,
  GetOrderCount,
  GetPosition,
  GetTrade,
  GetOrder,
  StopTrader,
};

void count_call(Export function);
// -1 for a name that is not an export.
long call_count(const char* function_name);

}  // namespace trader
