// A minimal check harness: failed checks are printed and counted, the
// program's exit status is the verdict.
#pragma once

#include <cstdio>

namespace check {

inline int failures = 0;

inline void expect(bool ok, const char* what, const char* file, int line) {
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
}

}  // namespace check

#define CHECK(...) ::check::expect(static_cast<bool>(__VA_ARGS__), #__VA_ARGS__, __FILE__, __LINE__)

void wire_format_checks();
void buffer_copy_checks();
void trader_session_checks(const char* host, const char* port);
