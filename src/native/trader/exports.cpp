// The exported C interface over the single TraderSession.
#include <string>
#include <vector>

#include "buffer_copy.h"
#include "call_counter.h"
#include "trader_api.h"
#include "trader_session.h"

namespace {

using trader::copy_text;
using trader::count_call;
using trader::Export;
using trader::put;
using trader::TraderSession;

std::string text_or_empty(const char* text) { return text ? std::string(text) : std::string(); }

// Out-of-range indexes read a blank record: empty texts and zeros.
template <class Record>
const Record& record_at(const std::vector<Record>& list, int index, bool& found) {
  static const Record blank{};
  found = index >= 0 && static_cast<std::size_t>(index) < list.size();
  return found ? list[static_cast<std::size_t>(index)] : blank;
}

template <class Record>
int count_of(const std::vector<Record> trader::AccountSnapshot::*list) {
  return TraderSession::instance().read(
      [&](const trader::AccountSnapshot& s) { return static_cast<int>((s.*list).size()); });
}

}  // namespace

extern "C" {

void StartTrader(const char* ip, const char* port, const char* user_id, const char* password) {
  count_call(Export::StartTrader);
  TraderSession::instance().start(text_or_empty(ip), text_or_empty(port),
                                  text_or_empty(user_id), text_or_empty(password));
}

void GetResult(bool* login_ok, double* balance, double* available, double* curr_margin,
               double* frozen_margin, double* close_profit, double* position_profit,
               double* commission, double* deposit, double* withdraw, double* pre_balance,
               double* reserve_balance, int* settlement_id, char* trading_day,
               double* exchange_margin, double* withdraw_quota, double* interest) {
  count_call(Export::GetResult);
  TraderSession::instance().read([&](const trader::AccountSnapshot& s) {
    const auto& f = s.fund;
    put(login_ok, s.logged_in);
    put(balance, f.balance);
    put(available, f.available);
    put(curr_margin, f.curr_margin);
    put(frozen_margin, f.frozen_margin);
    put(close_profit, f.close_profit);
    put(position_profit, f.position_profit);
    put(commission, f.commission);
    put(deposit, f.deposit);
    put(withdraw, f.withdraw);
    put(pre_balance, f.pre_balance);
    put(reserve_balance, f.reserve_balance);
    put(settlement_id, f.settlement_id);
    copy_text(trading_day, TRADER_DAY_SIZE, f.trading_day);
    put(exchange_margin, f.exchange_margin);
    put(withdraw_quota, f.withdraw_quota);
    put(interest, f.interest);
  });
}

int GetPositionCount() {
  count_call(Export::GetPositionCount);
  return count_of(&trader::AccountSnapshot::positions);
}

int GetTradeCount() {
  count_call(Export::GetTradeCount);
  return count_of(&trader::AccountSnapshot::trades);
}

int GetOrderCount() {
  count_call(Export::GetOrderCount);
  return count_of(&trader::AccountSnapshot::orders);
}

int GetPosition(int index, char* contract, char* direction, double* today, double* yesterday,
                double* total, double* profit, double* margin) {
  count_call(Export::GetPosition);
  return TraderSession::instance().read([&](const trader::AccountSnapshot& s) {
    bool found = false;
    const auto& r = record_at(s.positions, index, found);
    copy_text(contract, TRADER_CONTRACT_SIZE, r.contract);
    copy_text(direction, TRADER_DIRECTION_SIZE, r.direction);
    put(today, r.today);
    put(yesterday, r.yesterday);
    put(total, r.total);
    put(profit, r.profit);
    put(margin, r.margin);
    return found ? 0 : -1;
  });
}

int GetTrade(int index, char* contract, char* direction, char* offset, double* price,
             int32_t* volume, char* time, char* trade_id, char* order_id) {
  count_call(Export::GetTrade);
  return TraderSession::instance().read([&](const trader::AccountSnapshot& s) {
    bool found = false;
    const auto& r = record_at(s.trades, index, found);
    copy_text(contract, TRADER_CONTRACT_SIZE, r.contract);
    copy_text(direction, TRADER_DIRECTION_SIZE, r.direction);
    copy_text(offset, TRADER_OFFSET_SIZE, r.offset);
    put(price, r.price);
    put(volume, r.volume);
    copy_text(time, TRADER_TIME_SIZE, r.time);
    copy_text(trade_id, TRADER_ID_SIZE, r.trade_id);
    copy_text(order_id, TRADER_ID_SIZE, r.order_id);
    return found ? 0 : -1;
  });
}

int GetOrder(int index, char* contract, char* direction, char* offset, char* status,
             double* price, int32_t* total, int32_t* traded, char* time, char* order_id) {
  count_call(Export::GetOrder);
  return TraderSession::instance().read([&](const trader::AccountSnapshot& s) {
    bool found = false;
    const auto& r = record_at(s.orders, index, found);
    copy_text(contract, TRADER_CONTRACT_SIZE, r.contract);
    copy_text(direction, TRADER_DIRECTION_SIZE, r.direction);
    copy_text(offset, TRADER_OFFSET_SIZE, r.offset);
    copy_text(status, TRADER_STATUS_SIZE, r.status);
    put(price, r.price);
    put(total, r.total);
    put(traded, r.traded);
    copy_text(time, TRADER_TIME_SIZE, r.time);
    copy_text(order_id, TRADER_ID_SIZE, r.order_id);
    return found ? 0 : -1;
  });
}

void StopTrader() {
  count_call(Export::StopTrader);
  TraderSession::instance().stop();
}

long TraderCallCount(const char* function_name) { return trader::call_count(function_name); }

}  // extern "C"
