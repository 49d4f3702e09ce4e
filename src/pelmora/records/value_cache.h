// Direct-mapped caches of values made from equal bytes: a column's repeats
// share one object (fewer allocations, less memory); a miss just replaces
// the slot. A column of mostly distinct values stops looking them up.
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

// Whether lookups still pay: after a trial, at least one in four must hit.
class HitRate {
 public:
  bool worth_it() const { return on_; }
  void count(bool hit) {
    hits_ += hit;
    if (++lookups_ == kTrial) on_ = hits_ * 4 >= lookups_;
  }

 private:
  static constexpr uint32_t kTrial = 4096;
  uint32_t lookups_ = 0, hits_ = 0;
  bool on_ = true;
};

template <size_t Slots = 4096>
class BitsCache {
 public:
  // The object for `bits`, made by `make()` on a miss.
  template <typename Make>
  py::object get(uint64_t bits, Make&& make) {
    if (!rate_.worth_it()) return make();
    Slot& slot = slots_[mix(bits) & (Slots - 1)];
    const bool hit = slot.value && slot.bits == bits;
    rate_.count(hit);
    if (!hit) {
      slot.value = make();
      slot.bits = bits;
    }
    return slot.value;
  }

 private:
  HitRate rate_;
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
  py::object get(std::string_view bytes, Make&& make) {
    if (!rate_.worth_it()) return make();
    uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (const char c : bytes) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
    Slot& slot = slots_[mix(h) & (Slots - 1)];
    const bool hit = slot.value && slot.bytes == bytes;
    rate_.count(hit);
    if (!hit) {
      slot.value = make();
      slot.bytes = bytes;
    }
    return slot.value;
  }

 private:
  HitRate rate_;
  struct Slot {
    std::string_view bytes;
    py::object value;
  };
  std::array<Slot, Slots> slots_{};
};

}  // namespace pelmora::records
