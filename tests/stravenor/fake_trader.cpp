// A trader library that fills every text buffer to its last byte without a
// terminating NUL, each with its own letter, and has one record of each kind.
// The module must read each buffer up to its size and never past it.
#include <cstring>
#include <initializer_list>

#include "trader_api.h"

extern "C" {

void StartTrader(const char*, const char*, const char*, const char*) {}

void GetResult(bool* login_ok, double* balance, double* available, double* curr_margin,
               double* frozen_margin, double* close_profit, double* position_profit,
               double* commission, double* deposit, double* withdraw, double* pre_balance,
               double* reserve_balance, int* settlement_id, char* trading_day,
               double* exchange_margin, double* withdraw_quota, double* interest) {
  *login_ok = true;
  double n = 1;
  for (double* v : {balance, available, curr_margin, frozen_margin, close_profit,
                    position_profit, commission, deposit, withdraw, pre_balance,
                    reserve_balance, exchange_margin, withdraw_quota, interest}) {
    *v = n++;
  }
  *settlement_id = 7;
  std::memset(trading_day, 'D', TRADER_DAY_SIZE);
}

int GetPositionCount() { return 1; }
int GetTradeCount() { return 1; }
int GetOrderCount() { return 1; }

int GetPosition(int, char* contract, char* direction, double* today, double* yesterday,
                double* total, double* profit, double* margin) {
  std::memset(contract, 'A', TRADER_CONTRACT_SIZE);
  std::memset(direction, 'B', TRADER_DIRECTION_SIZE);
  *today = 1; *yesterday = 2; *total = 3; *profit = 4; *margin = 5;
  return 0;
}

int GetTrade(int, char* contract, char* direction, char* offset, double* price,
             int32_t* volume, char* time, char* trade_id, char* order_id) {
  std::memset(contract, 'A', TRADER_CONTRACT_SIZE);
  std::memset(direction, 'B', TRADER_DIRECTION_SIZE);
  std::memset(offset, 'C', TRADER_OFFSET_SIZE);
  *price = 6; *volume = 7;
  std::memset(time, 'E', TRADER_TIME_SIZE);
  std::memset(trade_id, 'F', TRADER_ID_SIZE);
  std::memset(order_id, 'G', TRADER_ID_SIZE);
  return 0;
}

int GetOrder(int, char* contract, char* direction, char* offset, char* status, double* price,
             int32_t* total, int32_t* traded, char* time, char* order_id) {
  std::memset(contract, 'A', TRADER_CONTRACT_SIZE);
  std::memset(direction, 'B', TRADER_DIRECTION_SIZE);
  std::memset(offset, 'C', TRADER_OFFSET_SIZE);
  std::memset(status, 'H', TRADER_STATUS_SIZE);
  *price = 8; *total = 9; *traded = 10;
  std::memset(time, 'E', TRADER_TIME_SIZE);
  std::memset(order_id, 'G', TRADER_ID_SIZE);
  return 0;
}

void StopTrader() {}

}  // extern "C"
