// Serialises the writers that replace an account's data (the signal upload
// with its replication, the status switch) across objects and processes: one
// lock per account in the central cache, through redis-py's own Lock.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

namespace pelmora {
namespace py = pybind11;

inline constexpr std::string_view kWriteBusy = "账户正在被另一个写入修改, 请稍后重试, 未做修改";
// Held at most this long (seconds): a writer that died frees the account then.
inline constexpr double kWriteLockHold = 60.0;
// Waited at most this long for another writer of the account.
inline constexpr double kWriteLockWait = 5.0;

class AccountWriteLock {
 public:
  // Takes the lock of each account through self.copy_redis_conn (the central
  // cache whatever env is), in sorted order so two writers never wait on each
  // other. A central cache that does not answer leaves the write unlocked:
  // the switch must still stop an account's trading while the cache is down.
  AccountWriteLock(py::handle self, std::vector<std::string> accounts);
  AccountWriteLock(const AccountWriteLock&) = delete;
  AccountWriteLock& operator=(const AccountWriteLock&) = delete;
  ~AccountWriteLock();

  // Another writer held an account's lock for the whole wait.
  bool busy() const { return busy_; }

 private:
  std::vector<py::object> held_;
  bool busy_ = false;
};

}  // namespace pelmora
