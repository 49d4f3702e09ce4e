// What the platform holds for one account, as loaded at login. Texts keep
// the platform's bytes (GBK).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trader {

struct FundFigures {
  std::string trading_day;
  int settlement_id = 0;
  double balance = 0, available = 0, curr_margin = 0, frozen_margin = 0, close_profit = 0,
         position_profit = 0, commission = 0, deposit = 0, withdraw = 0, pre_balance = 0,
         reserve_balance = 0, exchange_margin = 0, withdraw_quota = 0, interest = 0;
};

struct PositionRecord {
  std::string contract, direction;
  double today = 0, yesterday = 0, total = 0, profit = 0, margin = 0;
};

struct TradeRecord {
  std::string contract, direction, offset;
  double price = 0;
  std::int32_t volume = 0;
  std::string time, trade_id, order_id;
};

struct OrderRecord {
  std::string contract, direction, offset, status;
  double price = 0;
  std::int32_t total = 0, traded = 0;
  std::string time, order_id;
};

struct AccountSnapshot {
  bool logged_in = false;
  FundFigures fund;
  std::vector<PositionRecord> positions;
  std::vector<TradeRecord> trades;
  std::vector<OrderRecord> orders;
};

}  // namespace trader
