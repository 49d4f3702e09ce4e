// One use of the trader library, from StartTrader to StopTrader.
#pragma once

#include <mutex>

#include "trader_library.h"

namespace stravenor {

// The library holds a single instance, so sessions are serialised by a
// process-wide lock. A session lives only inside a native_call: no Python
// code runs while the lock is held, so nothing on this thread (a __del__, a
// signal handler, a str subclass's method) can start a second session and
// wait for the lock it already holds. StopTrader runs when the session ends,
// also when a step in between threw.
class LibrarySession {
 public:
  explicit LibrarySession(const TraderLibrary& lib);
  ~LibrarySession();
  LibrarySession(const LibrarySession&) = delete;
  LibrarySession& operator=(const LibrarySession&) = delete;

 private:
  const TraderLibrary& lib_;
  std::lock_guard<std::mutex> lock_;
};

}  // namespace stravenor
