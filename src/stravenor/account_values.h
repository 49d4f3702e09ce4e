// The account values GetResult fills, and the fund record built from them.
#pragma once

#include <pybind11/pybind11.h>

#include "trader_library.h"

namespace stravenor {
namespace py = pybind11;

struct AccountValues {
  bool login_ok = false;
  double balance = 0, available = 0, curr_margin = 0, frozen_margin = 0, close_profit = 0,
         position_profit = 0, commission = 0, deposit = 0, withdraw = 0, pre_balance = 0,
         reserve_balance = 0;
  int settlement_id = 0;
  char trading_day[TRADER_DAY_SIZE] = {};
  double exchange_margin = 0, withdraw_quota = 0, interest = 0;

  void fetch(const TraderLibrary& lib);
  py::dict fund_record() const;
};

}  // namespace stravenor
