#include "wire_format.h"

#include <charconv>

namespace trader {
namespace {

struct Escape {
  char raw;
  char code;
};
constexpr Escape kEscapes[] = {{'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}, {'\0', '0'}};

}  // namespace

std::string escape_field(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char c : raw) {
    bool escaped = false;
    for (const auto& e : kEscapes) {
      if (c == e.raw) {
        out += '\\';
        out += e.code;
        escaped = true;
        break;
      }
    }
    if (!escaped) out += c;
  }
  return out;
}

std::optional<std::string> unescape_field(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      out += escaped[i];
      continue;
    }
    if (++i == escaped.size()) return std::nullopt;
    bool known = false;
    for (const auto& e : kEscapes) {
      if (escaped[i] == e.code) {
        out += e.raw;
        known = true;
        break;
      }
    }
    if (!known) return std::nullopt;
  }
  return out;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::optional<std::string_view> FieldCursor::take() {
  if (next_ >= fields_.size()) {
    ok_ = false;
    return std::nullopt;
  }
  return fields_[next_++];
}

std::string FieldCursor::text() {
  auto field = take();
  if (!field) return {};
  auto value = unescape_field(*field);
  if (!value) {
    ok_ = false;
    return {};
  }
  return *std::move(value);
}

namespace {

// Whole field must parse; from_chars ignores the locale.
template <class T>
std::optional<T> parse_number(std::string_view field) {
  T value{};
  const char* end = field.data() + field.size();
  auto [ptr, ec] = std::from_chars(field.data(), end, value);
  if (field.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

double FieldCursor::number() {
  auto field = take();
  auto value = field ? parse_number<double>(*field) : std::nullopt;
  if (!value) ok_ = false;
  return value.value_or(0.0);
}

std::int32_t FieldCursor::int32() {
  auto field = take();
  auto value = field ? parse_number<std::int32_t>(*field) : std::nullopt;
  if (!value) ok_ = false;
  return value.value_or(0);
}

}  // namespace trader
