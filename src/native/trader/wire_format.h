// Line protocol between the trader library and the risk platform.
//
// Every message is one line ending in LF; fields are separated by TAB. Text
// fields are sent as raw bytes (GBK for the platform's texts) with TAB, LF,
// CR, NUL and backslash escaped as \t \n \r \0 \\. Numbers are decimal text.
//
//   client: LOGIN  user  password  api-version
//   server: REFUSED  reason                       (then closes)
//       or: OK
//           FUND   trading-day  settlement-id  balance available curr-margin
//                  frozen-margin close-profit position-profit commission deposit
//                  withdraw pre-balance reserve-balance exchange-margin
//                  withdraw-quota interest
//           POS    contract direction today yesterday total profit margin
//           TRADE  contract direction offset price volume time trade-id order-id
//           ORDER  contract direction offset status price total traded time order-id
//           END    positions trades orders         (record counts, a checksum)
//   client: LOGOUT                                 (at StopTrader)
//
// Lines with an unknown tag are skipped, so the platform may add records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trader {

std::string escape_field(std::string_view raw);
// nullopt for a dangling or unknown escape.
std::optional<std::string> unescape_field(std::string_view escaped);

// Splits a line (without its LF) at TAB; fields stay escaped.
std::vector<std::string_view> split_fields(std::string_view line);

// Reads the fields of one record in order; any bad field marks the whole
// record bad instead of throwing.
class FieldCursor {
 public:
  explicit FieldCursor(const std::vector<std::string_view>& fields, std::size_t first = 1)
      : fields_(fields), next_(first) {}

  std::string text();
  double number();
  std::int32_t int32();

  // True when every field was read and well-formed.
  bool complete() const { return ok_ && next_ == fields_.size(); }

 private:
  std::optional<std::string_view> take();

  const std::vector<std::string_view>& fields_;
  std::size_t next_;
  bool ok_ = true;
};

}  // namespace trader
