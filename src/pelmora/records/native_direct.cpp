#include "records/native_direct.h"

namespace pelmora::records {

DirectKind direct_kind(const NativeType& type) {
  if (type.nullable || type.low_cardinality) return DirectKind::None;
  switch (type.base) {
    case NativeBase::Int8:
    case NativeBase::Int16:
    case NativeBase::Int32:
    case NativeBase::Int64:
      return DirectKind::Signed;
    case NativeBase::UInt8:
    case NativeBase::UInt16:
    case NativeBase::UInt32:
    case NativeBase::UInt64:
      return DirectKind::Unsigned;
    case NativeBase::Float32:
    case NativeBase::Float64:
      return DirectKind::Float;
    case NativeBase::String:
      return DirectKind::Text;
    default:
      return DirectKind::None;
  }
}

void DirectColumn::read(NativeReader& in, uint64_t count) {
  const char* start = in.here();
  if (kind == DirectKind::Text) {
    for (uint64_t r = 0; r < count; ++r) utf8 = valid_utf8(in.text()) && utf8;
  } else {
    in.array(count, width);
  }
  if (count != 0) blocks.emplace_back(std::string_view(start, static_cast<size_t>(in.here() - start)), count);
  rows += count;
}

// Strict UTF-8, as the decoder's own check accepts it: no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int more;
    uint32_t min, cp;
    if ((c & 0xE0) == 0xC0) {
      more = 1, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (end - p <= more) return false;
    for (int i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += more + 1;
  }
  return true;
}

}  // namespace pelmora::records
