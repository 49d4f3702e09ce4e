// A TCP connection to the risk platform whose every wait has a deadline, so
// a silent or stalled platform cannot hold the caller.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace trader {

using Clock = std::chrono::steady_clock;

class PlatformConnection {
 public:
  enum class ReadStatus { Line, Closed, TimedOut, Failed };

  // Connects to a numeric address and port (no name lookup: it could block
  // without bound). nullopt when no connection was made before the deadline.
  static std::optional<PlatformConnection> open(const std::string& host, const std::string& port,
                                                Clock::time_point deadline);

  PlatformConnection(PlatformConnection&& other) noexcept;
  PlatformConnection& operator=(PlatformConnection&& other) noexcept;
  PlatformConnection(const PlatformConnection&) = delete;
  PlatformConnection& operator=(const PlatformConnection&) = delete;
  ~PlatformConnection();

  bool send_all(std::string_view data, Clock::time_point deadline);

  // Reads one line without its LF. Lines longer than kMaxLine fail; once
  // the deadline has passed, nothing more is read, buffered lines included.
  ReadStatus read_line(std::string& line, Clock::time_point deadline);

  static constexpr std::size_t kMaxLine = 64 * 1024;

 private:
  explicit PlatformConnection(int fd) : fd_(fd) {}
  void close_socket();

  int fd_ = -1;
  std::string pending_;
};

}  // namespace trader
