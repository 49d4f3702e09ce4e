#include "core/write_lock.h"

#include <algorithm>

#include "core/python.h"

namespace pelmora {

namespace {
using namespace pybind11::literals;

constexpr std::string_view kLockPrefix = "pelmora:write:";

constexpr const char* kLocksAttr = "_write_locks";

bool matches(const py::error_already_set& e, const char* name) {
  return e.matches(module_attr("redis").attr("exceptions").attr(name));
}

// The object's lock of an account, made once and kept on the object: its
// token lets a write that could not release it (the cache went away) take it
// up again on the next call instead of waiting for it to expire.
py::object lock_of(py::handle self, py::handle cache, const std::string& account) {
  py::object locks = py::getattr(self, kLocksAttr, py::none());
  if (locks.is_none()) {
    locks = py::dict();
    self.attr(kLocksAttr) = locks;
  }
  py::str key(account);
  if (!locks.contains(key))
    locks[key] = cache.attr("lock")(std::string(kLockPrefix) + account, "timeout"_a = kWriteLockHold,
                                    "blocking_timeout"_a = kWriteLockWait, "thread_local"_a = false);
  return locks[key];
}

}  // namespace

AccountWriteLock::AccountWriteLock(py::handle self, std::vector<std::string> accounts) {
  std::sort(accounts.begin(), accounts.end());
  accounts.erase(std::unique(accounts.begin(), accounts.end()), accounts.end());
  py::object cache = self.attr("copy_redis_conn");
  for (const std::string& account : accounts) {
    py::object lock = lock_of(self, cache, account);
    try {
      if (py::bool_(lock.attr("owned")())) {
        lock.attr("reacquire")();
      } else if (!py::bool_(lock.attr("acquire")())) {
        busy_ = true;
        return;
      }
    } catch (py::error_already_set& e) {
      if (!matches(e, "ConnectionError") && !matches(e, "TimeoutError")) throw;
      continue;  // the cache does not answer: this account goes unlocked
    }
    held_.push_back(std::move(lock));
  }
}

AccountWriteLock::~AccountWriteLock() {
  for (auto lock = held_.rbegin(); lock != held_.rend(); ++lock) {
    try {
      lock->attr("release")();
    } catch (py::error_already_set& e) {
      // A lock that expired or a cache gone away frees itself after kWriteLockHold.
      if (!matches(e, "RedisError")) e.discard_as_unraisable("releasing an account's write lock");
    }
  }
}

}  // namespace pelmora
