#include <cstdio>

#include "check.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s HOST PORT (a platform simulator serving the check accounts)\n",
                 argv[0]);
    return 2;
  }
  wire_format_checks();
  buffer_copy_checks();
  trader_session_checks(argv[1], argv[2]);
  if (check::failures) {
    std::fprintf(stderr, "%d check(s) failed\n", check::failures);
    return 1;
  }
  std::puts("all checks passed");
  return 0;
}
