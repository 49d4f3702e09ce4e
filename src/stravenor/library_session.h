// One use of the trader library, from StartTrader to StopTrader.
#pragma once

#include <mutex>

#include "trader_library.h"

namespace stravenor {

// The library holds a single instance, so sessions are serialised by a
// process-wide lock. Waiting for it happens with the GIL released (the
// holder needs the GIL to build its result). StopTrader runs when the
// session ends, also when the query raised.
class TraderSession {
 public:
  explicit TraderSession(const TraderLibrary& lib);
  ~TraderSession();
  TraderSession(const TraderSession&) = delete;
  TraderSession& operator=(const TraderSession&) = delete;

 private:
  const TraderLibrary& lib_;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace stravenor
