#include "call_counter.h"

#include <array>
#include <atomic>
#include <cstring>

namespace trader {
namespace {

constexpr const char* kNames[] = {"StartTrader",   "GetResult",   "GetPositionCount",
                                  "GetTradeCount", "GetOrderCount", "GetPosition",
                                  "GetTrade",      "GetOrder",    "StopTrader"};
constexpr std::size_t kExports = sizeof kNames / sizeof kNames[0];

std::array<std::atomic<long>, kExports> g_counts{};

}  // namespace

void count_call(Export function) {
  g_counts[static_cast<std::size_t>(function)].fetch_add(1, std::memory_order_relaxed);
}

long call_count(const char* function_name) {
  if (!function_name) return -1;
  for (std::size_t i = 0; i < kExports; ++i) {
    if (std::strcmp(kNames[i], function_name) == 0) return g_counts[i].load();
  }
  return -1;
}

}  // namespace trader
