#include "account_values.h"

#include "text_conversion.h"

namespace stravenor {

void AccountValues::fetch(const TraderLibrary& lib) {
  lib.GetResult(&login_ok, &balance, &available, &curr_margin, &frozen_margin, &close_profit,
                &position_profit, &commission, &deposit, &withdraw, &pre_balance,
                &reserve_balance, &settlement_id, trading_day, &exchange_margin,
                &withdraw_quota, &interest);
}

py::dict AccountValues::fund_record() const {
  py::dict d;
  d["账户权益"] = balance;
  d["可用资金"] = available;
  d["占用保证金"] = curr_margin;
  d["平仓盈亏"] = close_profit;
  d["持仓盈亏"] = position_profit;
  d["交易日"] = buffer_text(trading_day);
  d["手续费"] = commission;
  d["入金"] = deposit;
  d["出金"] = withdraw;
  d["上次权益"] = pre_balance;
  return d;
}

}  // namespace stravenor
