// Tokens of the host's expression notation, as far as the literal reader
// needs them. Lexical faults (bad numbers, unterminated texts, unbalanced or
// too deeply nested brackets, stray indentation) raise the SyntaxError eval
// gives; which tokens may follow each other is the reader's business.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/host_literal_source.h"

namespace pelmora::literal {

enum class Tok : uint8_t { End, Newline, Name, Number, String, Op };

enum class NumKind : uint8_t { Int, Float, Imaginary };

// Prefix letters of a string token.
enum StringFlag : uint8_t { kRaw = 1, kBytes = 2, kFormat = 4 };

// The host's own bracket limit: deeper nesting is its SyntaxError, so the
// reader's recursion stays bounded.
constexpr size_t kMaxNesting = 200;

struct Token {
  Tok kind = Tok::End;
  size_t begin = 0, end = 0;            // the whole token
  size_t body_begin = 0, body_end = 0;  // strings: between the quotes
  uint8_t flags = 0;                    // strings: StringFlag bits
  NumKind number = NumKind::Int;

  std::string_view text(std::string_view src) const { return src.substr(begin, end - begin); }
  // Compared by hand: tokens are short and this runs several times a token.
  bool is(std::string_view src, Tok k, std::string_view t) const {
    if (kind != k || end - begin != t.size()) return false;
    for (size_t i = 0; i < t.size(); ++i) {
      if (src[begin + i] != t[i]) return false;
    }
    return true;
  }
};

class Lexer {
 public:
  explicit Lexer(std::string_view src) : src_(src) {}

  std::string_view src() const { return src_; }
  // The next token (ahead 0) or the one after it (ahead 1), without taking it.
  const Token& peek(size_t ahead = 0);
  Token next();
  bool peek_op(std::string_view op) { return peek().is(src_, Tok::Op, op); }

 private:
  Token lex();
  void skip_line_start();
  void skip_blanks();
  Token lex_number(size_t begin);
  Token lex_string(size_t begin, size_t quote, uint8_t flags);
  Token lex_name(size_t begin);
  Token lex_op(size_t begin);
  size_t scan_digits(bool (*is_digit)(char), const char* fault, bool after_prefix);

  std::string_view src_;
  size_t pos_ = 0;
  bool first_line_ = true;
  bool line_start_ = true;
  bool line_has_token_ = false;
  std::vector<size_t> open_;  // positions of the open brackets
  Token ahead_[2];
  size_t ahead_count_ = 0;
};

}  // namespace pelmora::literal
