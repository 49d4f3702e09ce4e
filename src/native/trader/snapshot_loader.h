// Login and loading over an open platform connection.
#pragma once

#include <cstddef>
#include <string>

#include "account_snapshot.h"
#include "platform_connection.h"

namespace trader {

// Bounds on one answer, so a platform that never stops sending cannot take
// the host's memory: at most kMaxRecords records of each kind, and at most
// kMaxAnswerBytes bytes of record lines (line breaks included) between OK
// and END. A larger answer is refused like a malformed one. 32 MiB holds well
// over the record limit at real line lengths (under 200 bytes a record).
inline constexpr std::size_t kMaxRecords = 200000;
inline constexpr std::size_t kMaxAnswerBytes = 32u * 1024 * 1024;

// Sends the login and reads the whole answer before `deadline`. Anything
// short of a complete, well-formed answer (refusal, timeout, dropped
// connection, malformed line) gives a snapshot with logged_in false and no
// data: a half-loaded account is never shown.
AccountSnapshot login_and_load(PlatformConnection& connection, const std::string& user_id,
                               const std::string& password, Clock::time_point deadline);

}  // namespace trader
