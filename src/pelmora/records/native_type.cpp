#include "records/native_type.h"

#include <array>
#include <charconv>
#include <tuple>

namespace pelmora::records {
namespace {

struct Simple {
  std::string_view name;
  NativeBase base;
  uint32_t width;
};

constexpr std::array<Simple, 20> kSimple = {{
    {"Int8", NativeBase::Int8, 1},       {"Int16", NativeBase::Int16, 2},
    {"Int32", NativeBase::Int32, 4},     {"Int64", NativeBase::Int64, 8},
    {"Int128", NativeBase::Int128, 16},  {"Int256", NativeBase::Int256, 32},
    {"UInt8", NativeBase::UInt8, 1},     {"UInt16", NativeBase::UInt16, 2},
    {"UInt32", NativeBase::UInt32, 4},   {"UInt64", NativeBase::UInt64, 8},
    {"UInt128", NativeBase::UInt128, 16}, {"UInt256", NativeBase::UInt256, 32},
    {"Float32", NativeBase::Float32, 4}, {"Float64", NativeBase::Float64, 8},
    {"Bool", NativeBase::Bool, 1},       {"String", NativeBase::String, 0},
    {"UUID", NativeBase::UUID, 16},      {"Date", NativeBase::Date, 2},
    {"Date32", NativeBase::Date32, 4},   {"DateTime", NativeBase::DateTime, 4},
}};

// "Outer(inner)" -> inner, when `name` has that form.
std::optional<std::string_view> inside(std::string_view name, std::string_view outer) {
  if (name.size() < outer.size() + 2 || name.substr(0, outer.size()) != outer ||
      name[outer.size()] != '(' || name.back() != ')') {
    return std::nullopt;
  }
  return name.substr(outer.size() + 1, name.size() - outer.size() - 2);
}

// Splits on commas outside quotes; blanks around items dropped.
std::vector<std::string_view> arguments(std::string_view args) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i <= args.size(); ++i) {
    if (i < args.size() && quoted) {
      if (args[i] == '\\') ++i;
      else if (args[i] == '\'') quoted = false;
      continue;
    }
    if (i < args.size() && args[i] == '\'') {
      quoted = true;
      continue;
    }
    if (i == args.size() || args[i] == ',') {
      std::string_view item = args.substr(start, i - start);
      while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
      while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
      out.push_back(item);
      start = i + 1;
    }
  }
  return out;
}

template <typename T>
std::optional<T> number(std::string_view text) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A quoted literal with the escapes ClickHouse writes in type names.
std::optional<std::string> unquote(std::string_view text) {
  if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') return std::nullopt;
  std::string out;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      if (i + 2 >= text.size()) return std::nullopt;
      switch (text[++i]) {
        case '\\': c = '\\'; break;
        case '\'': c = '\''; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        case '0': c = '\0'; break;
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        default: return std::nullopt;
      }
    } else if (c == '\'') {
      return std::nullopt;
    }
    out.push_back(c);
  }
  return out;
}

bool parse_enum(std::string_view args, NativeType& type) {
  for (std::string_view item : arguments(args)) {
    const size_t eq = item.rfind('=');
    if (eq == std::string_view::npos) return false;
    std::string_view label = item.substr(0, eq);
    std::string_view value = item.substr(eq + 1);
    while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    auto text = unquote(label);
    auto code = number<int16_t>(value);
    if (!text || !code) return false;
    type.labels.emplace_back(*code, std::move(*text));
  }
  return !type.labels.empty();
}

bool parse_base(std::string_view name, NativeType& type) {
  for (const Simple& s : kSimple) {
    if (name == s.name) {
      type.base = s.base;
      type.width = s.width;
      return true;
    }
  }
  if (auto args = inside(name, "FixedString")) {
    auto n = number<uint32_t>(*args);
    if (!n || *n == 0) return false;
    type.base = NativeBase::FixedString;
    type.width = *n;
    return true;
  }
  if (auto args = inside(name, "DateTime")) {
    auto zone = unquote(*args);
    if (!zone) return false;
    type.base = NativeBase::DateTime;
    type.width = 4;
    type.zone = std::move(*zone);
    return true;
  }
  if (auto args = inside(name, "DateTime64")) {
    const auto parts = arguments(*args);
    if (parts.empty() || parts.size() > 2) return false;
    auto precision = number<int>(parts[0]);
    if (!precision || *precision < 0 || *precision > 9) return false;
    if (parts.size() == 2) {
      auto zone = unquote(parts[1]);
      if (!zone) return false;
      type.zone = std::move(*zone);
    }
    type.base = NativeBase::DateTime64;
    type.width = 8;
    type.scale = *precision;
    for (int i = 0; i < *precision; ++i) type.ticks_per_second *= 10;
    return true;
  }
  if (auto args = inside(name, "Decimal")) {
    // Up to 18 digits; wider decimals are read the other way.
    const auto parts = arguments(*args);
    if (parts.size() != 2) return false;
    auto precision = number<int>(parts[0]);
    auto scale = number<int>(parts[1]);
    if (!precision || !scale || *precision < 1 || *precision > 18 || *scale < 0 || *scale > *precision) {
      return false;
    }
    type.base = *precision <= 9 ? NativeBase::Decimal32 : NativeBase::Decimal64;
    type.width = *precision <= 9 ? 4 : 8;
    type.scale = *scale;
    return true;
  }
  for (auto [outer, base, width] : {std::tuple{"Enum8", NativeBase::Enum8, 1u},
                                    std::tuple{"Enum16", NativeBase::Enum16, 2u}}) {
    if (auto args = inside(name, outer)) {
      type.base = base;
      type.width = width;
      return parse_enum(*args, type);
    }
  }
  return false;
}

}  // namespace

std::optional<NativeType> parse_native_type(std::string_view name) {
  NativeType type;
  if (auto inner = inside(name, "LowCardinality")) {
    type.low_cardinality = true;
    name = *inner;
  }
  if (auto inner = inside(name, "Nullable")) {
    type.nullable = true;
    name = *inner;
  }
  if (!parse_base(name, type)) return std::nullopt;
  return type;
}

}  // namespace pelmora::records
