// Writing into the caller's fixed-size buffers.
#pragma once

#include <cstddef>
#include <string_view>

namespace trader {

// Copies text into dst[size], always NUL-terminated and zero-filled after the
// text. A text that does not fit is cut before the last whole GBK character
// that fits, so no half character reaches the caller. A null dst or size 0
// writes nothing.
void copy_text(char* dst, std::size_t size, std::string_view text);

template <class T>
void put(T* dst, T value) {
  if (dst) *dst = value;
}

}  // namespace trader
