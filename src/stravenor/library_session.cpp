#include "trader_session.h"

#include "native_call.h"

namespace stravenor {
namespace {

std::mutex& library_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

TraderSession::TraderSession(const TraderLibrary& lib)
    : lib_(lib), lock_(library_mutex(), std::defer_lock) {
  native_call([this] { lock_.lock(); });
}

TraderSession::~TraderSession() {
  native_call([this] { lib_.StopTrader(); });
}

}  // namespace stravenor
