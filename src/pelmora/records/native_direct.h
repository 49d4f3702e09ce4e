// Columns whose table array is made from the Native bytes themselves, with
// no Python value per cell: numbers without NULLs, and plain texts.
#pragma once
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "records/native_reader.h"
#include "records/native_type.h"

namespace pelmora::records {

enum class DirectKind : uint8_t { None, Signed, Unsigned, Float, Text };

// None for a type read value by value (NULLs, LowCardinality, and every
// type without a plain numpy or Arrow form).
DirectKind direct_kind(const NativeType& type);

// Where one column's values lie in the bytes, block by block.
struct DirectColumn {
  DirectKind kind = DirectKind::None;
  uint32_t width = 0;
  std::vector<std::pair<std::string_view, uint64_t>> blocks;  // the values' bytes, and their count
  uint64_t rows = 0;
  bool utf8 = true;  // Text: every value is valid UTF-8

  // Takes one block's values of this column from `in`.
  void read(NativeReader& in, uint64_t count);
};

bool valid_utf8(std::string_view bytes);

}  // namespace pelmora::records
