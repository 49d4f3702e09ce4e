#include "library_session.h"

namespace stravenor {
namespace {

std::mutex& library_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

LibrarySession::LibrarySession(const TraderLibrary& lib) : lib_(lib), lock_(library_mutex()) {}

LibrarySession::~LibrarySession() { lib_.StopTrader(); }

}  // namespace stravenor
