// Login and loading over an open platform connection.
#pragma once

#include <string>

#include "account_snapshot.h"
#include "platform_connection.h"

namespace trader {

// Sends the login and reads the whole answer before `deadline`. Anything
// short of a complete, well-formed answer (refusal, timeout, dropped
// connection, malformed line) gives a snapshot with logged_in false and no
// data: a half-loaded account is never shown.
AccountSnapshot login_and_load(PlatformConnection& connection, const std::string& user_id,
                               const std::string& password, Clock::time_point deadline);

}  // namespace trader
