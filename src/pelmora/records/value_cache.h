// Direct-mapped caches of values made from equal bytes: a column's repeats
// share one object (fewer allocations, less memory); a miss just replaces
// the slot, so distinct values cost one hash and one compare.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "core/py_ref.h"

namespace pelmora::records {

inline uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return x;
}

template <size_t Slots = 4096>
class BitsCache {
 public:
  // The object for `bits`, made by `make()` on a miss.
  template <typename Make>
  PyObject* get(uint64_t bits, Make&& make) {
    Slot& slot = slots_[mix(bits) & (Slots - 1)];
    if (!slot.value || slot.bits != bits) {
      slot.value = make();
      slot.bits = bits;
    }
    return slot.value.ptr();
  }

 private:
  struct Slot {
    uint64_t bits = 0;
    py::object value;
  };
  std::array<Slot, Slots> slots_{};
};

template <size_t Slots = 4096>
class TextCache {
 public:
  // `bytes` must stay valid while the cache is used.
  template <typename Make>
  PyObject* get(std::string_view bytes, Make&& make) {
    uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (const char c : bytes) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
    Slot& slot = slots_[mix(h) & (Slots - 1)];
    if (!slot.value || slot.bytes != bytes) {
      slot.value = make();
      slot.bytes = bytes;
    }
    return slot.value.ptr();
  }

 private:
  struct Slot {
    std::string_view bytes;
    py::object value;
  };
  std::array<Slot, Slots> slots_{};
};

}  // namespace pelmora::records
