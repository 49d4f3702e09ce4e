#include "platform_connection.h"

#include <cerrno>
#include <memory>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trader {
namespace {

// Rounded up, so a wait never ends just before its deadline.
int remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on fd; false on timeout or error. A passed deadline is
// a timeout even when data is waiting: poll() with 0 ms would report it, and
// a peer that never stops sending would never time out.
bool wait_for(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const int left = remaining_ms(deadline);
    if (left == 0) return false;
    pollfd p{fd, events, 0};
    int rc = ::poll(&p, 1, left);
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) return false;
  }
}

struct AddrInfoDeleter {
  void operator()(addrinfo* info) const { ::freeaddrinfo(info); }
};

int connect_one(const addrinfo& addr, Clock::time_point deadline) {
  int fd = ::socket(addr.ai_family, addr.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    addr.ai_protocol);
  if (fd < 0) return -1;
  if (::connect(fd, addr.ai_addr, addr.ai_addrlen) == 0) return fd;
  if (errno == EINPROGRESS && wait_for(fd, POLLOUT, deadline)) {
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0) return fd;
  }
  ::close(fd);
  return -1;
}

}  // namespace

std::optional<PlatformConnection> PlatformConnection::open(const std::string& host,
                                                           const std::string& port,
                                                           Clock::time_point deadline) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* raw = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw) != 0) return std::nullopt;
  std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
  for (const addrinfo* addr = list.get(); addr; addr = addr->ai_next) {
    int fd = connect_one(*addr, deadline);
    if (fd >= 0) return PlatformConnection(fd);
  }
  return std::nullopt;
}

PlatformConnection::PlatformConnection(PlatformConnection&& other) noexcept
    : fd_(other.fd_), pending_(std::move(other.pending_)) {
  other.fd_ = -1;
}

PlatformConnection& PlatformConnection::operator=(PlatformConnection&& other) noexcept {
  if (this != &other) {
    close_socket();
    fd_ = other.fd_;
    pending_ = std::move(other.pending_);
    other.fd_ = -1;
  }
  return *this;
}

PlatformConnection::~PlatformConnection() { close_socket(); }

void PlatformConnection::close_socket() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PlatformConnection::send_all(std::string_view data, Clock::time_point deadline) {
  while (!data.empty()) {
    // MSG_NOSIGNAL: a platform that hung up must not kill the host with SIGPIPE.
    ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!wait_for(fd_, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

PlatformConnection::ReadStatus PlatformConnection::read_line(std::string& line,
                                                            Clock::time_point deadline) {
  for (;;) {
    // Checked before buffered lines too: they can arrive faster than they
    // are consumed.
    if (Clock::now() >= deadline) return ReadStatus::TimedOut;
    std::size_t lf = pending_.find('\n');
    if (lf != std::string::npos) {
      line.assign(pending_, 0, lf);
      pending_.erase(0, lf + 1);
      return ReadStatus::Line;
    }
    if (pending_.size() > kMaxLine) return ReadStatus::Failed;
    if (!wait_for(fd_, POLLIN, deadline)) return ReadStatus::TimedOut;
    char chunk[4096];
    ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got > 0) {
      pending_.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      return ReadStatus::Closed;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      return ReadStatus::Failed;
    }
  }
}

}  // namespace trader
