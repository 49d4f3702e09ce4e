// The library's single instance: the connection and the loaded account
// between StartTrader and StopTrader.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "account_snapshot.h"
#include "platform_connection.h"

namespace trader {

class TraderSession {
 public:
  static constexpr std::chrono::seconds kConnectTimeout{3};
  static constexpr std::chrono::seconds kAnswerTimeout{5};
  static constexpr std::chrono::milliseconds kLogoutTimeout{500};

  static TraderSession& instance();

  // Ends any earlier session first, so a missing StopTrader leaks nothing.
  void start(const std::string& host, const std::string& port, const std::string& user_id,
             const std::string& password);
  void stop();

  // Runs f on the loaded account under the instance's lock.
  template <class F>
  auto read(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(static_cast<const AccountSnapshot&>(snapshot_));
  }

 private:
  void stop_locked();

  std::mutex mutex_;
  AccountSnapshot snapshot_;
  std::optional<PlatformConnection> connection_;
};

}  // namespace trader
