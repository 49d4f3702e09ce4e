// Column names of the signal table the upload works with.
#pragma once
#include <pybind11/pybind11.h>

#include <array>

namespace pelmora::signals {
namespace py = pybind11;

// The input columns the upload keeps, in this order.
inline constexpr std::array<const char*, 8> kRequiredColumns = {
    "trading_day", "contract", "position", "direction", "signal_date", "order_typ", "trade_time", "feature"};

// Members of a signal hash value, in this order.
inline constexpr std::array<const char*, 11> kHashColumns = {
    "trading_day", "account_id", "contract", "position",   "direction", "signal_date",
    "order_typ",   "update_time", "trade_time", "user_id", "feature"};

// Added to feature by continuous holding (stored as 20/21), and by the hash's
// first pass (readers between the passes see 20/21).
inline constexpr int kFeatureRaise = 20;

template <size_t N>
py::list column_list(const std::array<const char*, N>& names) {
  py::list out;
  for (const char* name : names) out.append(name);
  return out;
}

}  // namespace pelmora::signals
