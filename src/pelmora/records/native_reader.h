// Bounds-checked reading of ClickHouse Native bytes: running past the end
// raises ValueError, whatever the stream claims.
#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/py_ref.h"

namespace pelmora::records {

// A value of type T stored at `at` (the host, like the format, little-endian).
template <typename T>
T load(const char* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

class NativeReader {
 public:
  explicit NativeReader(std::string_view data) : p_(data.data()), end_(data.data() + data.size()) {}

  bool at_end() const { return p_ == end_; }
  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  const char* here() const { return p_; }

  // LEB128, at most ten bytes.
  uint64_t varint() {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const auto byte = static_cast<uint8_t>(*take(1));
      value |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return value;
    }
    raise(PyExc_ValueError, "Native data: variable-length number too long");
  }

  std::string_view bytes(uint64_t n) {
    const char* at = take(n);
    return {at, static_cast<size_t>(n)};
  }

  std::string_view text() { return bytes(varint()); }

  template <typename T>
  T fixed() {
    T value;
    std::memcpy(&value, take(sizeof(T)), sizeof(T));
    return value;
  }

  // Start of `count` values of `width` bytes each, checked before any of
  // them is used (so a huge count cannot make anyone reserve memory).
  const char* array(uint64_t count, size_t width) {
    if (width != 0 && count > remaining() / width) truncated();
    return take(count * width);
  }

 private:
  const char* take(uint64_t n) {
    if (n > remaining()) truncated();
    const char* at = p_;
    p_ += n;
    return at;
  }
  [[noreturn]] static void truncated() { raise(PyExc_ValueError, "Native data ends inside a block"); }

  const char* p_;
  const char* end_;
};

}  // namespace pelmora::records
