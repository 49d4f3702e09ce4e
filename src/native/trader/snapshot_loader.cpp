#include "snapshot_loader.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "api.h"
#include "wire_format.h"

namespace trader {
namespace {

std::optional<FundFigures> parse_fund(FieldCursor c) {
  FundFigures f;
  f.trading_day = c.text();
  f.settlement_id = c.int32();
  for (double* value : {&f.balance, &f.available, &f.curr_margin, &f.frozen_margin,
                        &f.close_profit, &f.position_profit, &f.commission, &f.deposit,
                        &f.withdraw, &f.pre_balance, &f.reserve_balance, &f.exchange_margin,
                        &f.withdraw_quota, &f.interest}) {
    *value = c.number();
  }
  if (!c.complete()) return std::nullopt;
  return f;
}

// Braced initialisers run left to right, in wire order.
std::optional<PositionRecord> parse_position(FieldCursor c) {
  PositionRecord r{c.text(), c.text(), c.number(), c.number(), c.number(), c.number(),
                   c.number()};
  if (!c.complete()) return std::nullopt;
  return r;
}

std::optional<TradeRecord> parse_trade(FieldCursor c) {
  TradeRecord r{c.text(), c.text(),  c.text(), c.number(),
                c.int32(), c.text(), c.text(), c.text()};
  if (!c.complete()) return std::nullopt;
  return r;
}

std::optional<OrderRecord> parse_order(FieldCursor c) {
  OrderRecord r{c.text(),  c.text(),  c.text(), c.text(), c.number(),
                c.int32(), c.int32(), c.text(), c.text()};
  if (!c.complete()) return std::nullopt;
  return r;
}

template <class Record>
bool append(std::vector<Record>& list, std::optional<Record> record) {
  if (!record || list.size() >= kMaxRecords) return false;
  list.push_back(*std::move(record));
  return true;
}

bool counts_match(const std::vector<std::string_view>& fields, const AccountSnapshot& s) {
  FieldCursor c(fields);
  std::int32_t positions = c.int32(), trades = c.int32(), orders = c.int32();
  return c.complete() && static_cast<std::size_t>(positions) == s.positions.size() &&
         static_cast<std::size_t>(trades) == s.trades.size() &&
         static_cast<std::size_t>(orders) == s.orders.size();
}

// Reads the records after OK up to END; false on anything incomplete.
bool load_records(PlatformConnection& connection, AccountSnapshot& s,
                  Clock::time_point deadline) {
  std::string line;
  bool have_fund = false;
  std::size_t answer_bytes = 0;
  while (connection.read_line(line, deadline) == PlatformConnection::ReadStatus::Line) {
    answer_bytes += line.size() + 1;
    if (answer_bytes > kMaxAnswerBytes) return false;
    auto fields = split_fields(line);
    std::string_view tag = fields[0];
    bool ok = true;
    if (tag == "FUND") {
      auto fund = parse_fund(FieldCursor(fields));
      ok = fund.has_value();
      if (ok) s.fund = *std::move(fund);
      have_fund = ok;
    } else if (tag == "POS") {
      ok = append(s.positions, parse_position(FieldCursor(fields)));
    } else if (tag == "TRADE") {
      ok = append(s.trades, parse_trade(FieldCursor(fields)));
    } else if (tag == "ORDER") {
      ok = append(s.orders, parse_order(FieldCursor(fields)));
    } else if (tag == "END") {
      return have_fund && counts_match(fields, s);
    }
    if (!ok) return false;
  }
  return false;
}

}  // namespace

AccountSnapshot login_and_load(PlatformConnection& connection, const std::string& user_id,
                               const std::string& password, Clock::time_point deadline) {
  std::string request = "LOGIN\t" + escape_field(user_id) + '\t' + escape_field(password) +
                        '\t' + escape_field(ThostApiVersion()) + '\n';
  if (!connection.send_all(request, deadline)) return {};

  std::string line;
  if (connection.read_line(line, deadline) != PlatformConnection::ReadStatus::Line ||
      line != "OK") {
    return {};
  }
  AccountSnapshot snapshot;
  if (!load_records(connection, snapshot, deadline)) return {};
  snapshot.logged_in = true;
  return snapshot;
}

}  // namespace trader
