// ClickHouse column type names as the Native format carries them, reduced
// to what decoding needs. Names outside this set are not decoded here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmora::records {

enum class NativeBase : uint8_t {
  Int8, Int16, Int32, Int64, Int128, Int256,
  UInt8, UInt16, UInt32, UInt64, UInt128, UInt256,
  Float32, Float64, Bool, Decimal32, Decimal64,
  String, FixedString, UUID, Enum8, Enum16,
  Date, Date32, DateTime, DateTime64,
};

struct NativeType {
  NativeBase base = NativeBase::String;
  bool nullable = false;
  bool low_cardinality = false;
  uint32_t width = 0;            // bytes per value of fixed-width bases
  int scale = 0;                 // Decimal: digits after the point; DateTime64: precision
  int64_t ticks_per_second = 1;  // DateTime64
  std::string zone;              // DateTime, DateTime64: the zone named in the type, if any
  std::vector<std::pair<int16_t, std::string>> labels;  // Enum: value and label
};

// Null for a type this decoder does not know (the caller reads the result
// another way).
std::optional<NativeType> parse_native_type(std::string_view name);

}  // namespace pelmora::records
