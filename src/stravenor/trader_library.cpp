#include "trader_library.h"

#include <optional>

#include <pybind11/pybind11.h>

namespace stravenor {
namespace py = pybind11;

namespace {

#ifdef _WIN32
constexpr const char* kApiLibrary = "thosttraderapi_se.dll";
constexpr const char* kTraderLibrary = "trader.dll";
#else
constexpr const char* kApiLibrary = "libthosttraderapi_se.so";
constexpr const char* kTraderLibrary = "libtrader.so";
#endif

std::optional<TraderLibrary> g_library;

template <class Fn>
void resolve(const SharedLibrary& library, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(library.symbol(name));
  if (!out) {
    throw py::import_error(library.path().filename().u8string() + " in " +
                           library.path().parent_path().u8string() +
                           " does not export the function " + name);
  }
}

}  // namespace

void load_trader_library() {
  if (g_library) return;
  const auto dir = module_directory();
  SharedLibrary api(dir / kApiLibrary);
  SharedLibrary trader(dir / kTraderLibrary);
  TraderLibrary lib{std::move(api), std::move(trader)};
  resolve(lib.trader, "StartTrader", lib.StartTrader);
  resolve(lib.trader, "GetResult", lib.GetResult);
  resolve(lib.trader, "GetPositionCount", lib.GetPositionCount);
  resolve(lib.trader, "GetTradeCount", lib.GetTradeCount);
  resolve(lib.trader, "GetOrderCount", lib.GetOrderCount);
  resolve(lib.trader, "GetPosition", lib.GetPosition);
  resolve(lib.trader, "GetTrade", lib.GetTrade);
  resolve(lib.trader, "GetOrder", lib.GetOrder);
  resolve(lib.trader, "StopTrader", lib.StopTrader);
  g_library.emplace(std::move(lib));
}

const TraderLibrary& trader_library() { return *g_library; }

}  // namespace stravenor
