#include "core/python_literal_nesting.h"

#include <vector>

namespace pelmora::literal {

namespace {

// The tokenizer's own limit on open brackets; beyond it the parser fails at
// once with "too many nested parentheses".
constexpr size_t kParserBrackets = 200;

bool word_char(unsigned char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

// Index past a quoted literal starting at `at`. A backslash always keeps the
// next character inside (raw literals end the same way); a line end closes a
// one-line literal, which the parser then reports. f-string fields that reuse
// the quote (3.12 and later) may end a literal early here: those versions
// bound their own recursion.
bool three(std::string_view src, size_t at, char quote) {
  return at + 2 < src.size() && src[at] == quote && src[at + 1] == quote && src[at + 2] == quote;
}

size_t skip_quoted(std::string_view src, size_t at) {
  const char quote = src[at];
  const bool triple = three(src, at, quote);
  size_t i = at + (triple ? 3 : 1);
  while (i < src.size()) {
    const char c = src[i];
    if (c == '\\') {
      i += 2;
    } else if (triple ? three(src, i, quote) : c == quote) {
      return i + (triple ? 3 : 1);
    } else if (!triple && c == '\n') {
      return i;
    } else {
      ++i;
    }
  }
  return src.size();
}

struct Level {
  size_t chain = 0;   // links since the item began
  size_t lambdas = 0; // kept across commas: a lambda's parameters do not end it
};

}  // namespace

size_t nesting_bound(std::string_view src) {
  std::vector<Level> open;
  Level here;
  size_t outer = 0;  // depth contributed by the enclosing levels
  size_t deepest = 0;
  auto note = [&] {
    const size_t depth = outer + here.chain + here.lambdas;
    if (depth > deepest) deepest = depth;
  };
  for (size_t i = 0; i < src.size() && deepest <= kMaxNesting;) {
    const auto c = static_cast<unsigned char>(src[i]);
    if (c == '#') {
      const size_t end = src.find('\n', i);
      i = end == std::string_view::npos ? src.size() : end;
    } else if (c == '\'' || c == '"') {
      i = skip_quoted(src, i);
    } else if (word_char(c)) {
      const size_t begin = i;
      const bool number = c >= '0' && c <= '9';
      while (i < src.size() && (word_char(static_cast<unsigned char>(src[i])) || (number && src[i] == '.'))) ++i;
      // Numbers (with their dots and exponents) are leaves; names and keywords link.
      if (!number) {
        ++here.chain;
        if (src.substr(begin, i - begin) == "lambda") ++here.lambdas;
        note();
      }
    } else if (c == '(' || c == '[' || c == '{') {
      if (open.size() >= kParserBrackets) break;
      ++here.chain;
      note();
      open.push_back(here);
      outer += here.chain + here.lambdas + 1;
      here = Level{};
      ++i;
    } else if (c == ')' || c == ']' || c == '}') {
      if (!open.empty()) {
        here = open.back();
        open.pop_back();
        outer -= here.chain + here.lambdas + 1;
      }
      ++i;
    } else if (c == ',') {
      here.chain = 0;
      ++i;
    } else {
      if (c > ' ' && c != '\\') {
        ++here.chain;
        note();
      }
      ++i;
    }
  }
  return deepest;
}

}  // namespace pelmora::literal
