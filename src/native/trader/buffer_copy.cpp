#include "buffer_copy.h"

#include <cstring>

namespace trader {
namespace {

bool is_gbk_lead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace

void copy_text(char* dst, std::size_t size, std::string_view text) {
  if (!dst || size == 0) return;
  const std::size_t room = size - 1;
  std::size_t n = 0;
  while (n < text.size()) {
    std::size_t step =
        is_gbk_lead(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + step > room) break;
    n += step;
  }
  std::memcpy(dst, text.data(), n);
  std::memset(dst + n, 0, size - n);
}

}  // namespace trader
