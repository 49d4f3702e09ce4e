#include "trader_session.h"

#include "snapshot_loader.h"

namespace trader {

TraderSession& TraderSession::instance() {
  static TraderSession session;
  return session;
}

void TraderSession::start(const std::string& host, const std::string& port,
                          const std::string& user_id, const std::string& password) {
  std::lock_guard<std::mutex> lock(mutex_);
  stop_locked();
  auto connect_deadline = Clock::now() + kConnectTimeout;
  auto connection = PlatformConnection::open(host, port, connect_deadline);
  if (!connection) return;
  snapshot_ = login_and_load(*connection, user_id, password, Clock::now() + kAnswerTimeout);
  // Only a logged-in session stays open, to log out at StopTrader.
  if (snapshot_.logged_in) connection_ = std::move(connection);
}

void TraderSession::stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stop_locked();
}

void TraderSession::stop_locked() {
  if (connection_) {
    connection_->send_all("LOGOUT\n", Clock::now() + kLogoutTimeout);
    connection_.reset();
  }
  snapshot_ = AccountSnapshot{};
}

}  // namespace trader
