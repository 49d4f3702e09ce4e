#include "core/host_literal_lex.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/host_literal_source.h"
#include "core/py_ref.h"

namespace pelmora::literal {

namespace {

bool is_dec(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_dec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool is_oct(char c) { return c >= '0' && c <= '7'; }
bool is_bin(char c) { return c == '0' || c == '1'; }
// Bytes of non-ASCII characters count as name characters; whole names are
// checked once they are cut out.
bool is_name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool is_name_char(char c) { return is_name_start(c) || is_dec(c); }

// Operators of more than one character, longest first.
constexpr std::string_view kLongOps[] = {"**=", "//=", ">>=", "<<=", "...", "!=", "%=", "&=", "**", "*=", "+=", "-=",
                                         "->",  "//",  "/=",  ":=",  "<<",  "<=", "==", ">=", ">>", "@=", "^=", "|="};
constexpr std::string_view kShortOps = "%&()*+,-./:;<=>@[]^{|}~";
// Single-character operators that start no longer one: the common case.
constexpr std::string_view kBracketsAndCommas = "()[]{},;~";

// Prefix letters that may open a string literal, and what they mean.
uint8_t string_prefix(std::string_view letters, bool& valid) {
  uint8_t flags = 0;
  valid = !letters.empty() && letters.size() <= 2;
  for (char c : letters) {
    uint8_t bit = 0;
    switch (c | 0x20) {
      case 'r': bit = kRaw; break;
      case 'b': bit = kBytes; break;
      case 'f': bit = kFormat; break;
      case 'u': valid = valid && letters.size() == 1; break;
      default: valid = false;
    }
    if (flags & bit) valid = false;
    flags |= bit;
  }
  if ((flags & kBytes) && (flags & kFormat)) valid = false;
  return flags;
}

std::string detected_at(const char* what, std::string_view src, size_t pos) {
  return std::string(what) + " (detected at line " + std::to_string(line_of(src, pos)) + ")";
}

}  // namespace

const Token& Lexer::peek(size_t ahead) {
  while (ahead_count_ <= ahead) ahead_[ahead_count_++] = lex();
  return ahead_[ahead];
}

Token Lexer::next() {
  if (ahead_count_ == 0) return lex();
  Token t = ahead_[0];
  ahead_[0] = ahead_[1];
  --ahead_count_;
  return t;
}

// At the start of a logical line outside brackets: blank and comment lines
// are skipped, a line holding a token must not be indented (eval strips the
// first line's leading blanks and tabs), and a last line of nothing but
// indentation is the tokenizer's "unexpected indent" as well.
void Lexer::skip_line_start() {
  const size_t n = src_.size();
  for (;;) {
    bool indented = false;
    bool comment = false;
    while (pos_ < n) {
      const char c = src_[pos_];
      if (c == ' ' || c == '\t') {
        indented = indented || !first_line_;
        ++pos_;
      } else if (c == '\f') {
        indented = false;
        ++pos_;
      } else if (c == '\\' && pos_ + 1 < n && src_[pos_ + 1] == '\n') {
        pos_ += 2;
      } else {
        break;
      }
    }
    if (pos_ < n && src_[pos_] == '#') {
      comment = true;
      const void* nl = std::memchr(src_.data() + pos_, '\n', n - pos_);
      pos_ = nl ? static_cast<size_t>(static_cast<const char*>(nl) - src_.data()) : n;
    }
    if (pos_ >= n) {
      if (indented && !comment) syntax_error(src_, pos_, "unexpected indent", PyExc_IndentationError);
      return;
    }
    if (src_[pos_] == '\n') {
      ++pos_;
      first_line_ = false;
      continue;
    }
    if (indented) syntax_error(src_, pos_, "unexpected indent", PyExc_IndentationError);
    line_start_ = false;
    return;
  }
}

void Lexer::skip_blanks() {
  const size_t n = src_.size();
  while (pos_ < n) {
    const char c = src_[pos_];
    if (c == ' ' || c == '\t' || c == '\f') {
      ++pos_;
    } else if (c == '#') {
      const void* nl = std::memchr(src_.data() + pos_, '\n', n - pos_);
      pos_ = nl ? static_cast<size_t>(static_cast<const char*>(nl) - src_.data()) : n;
    } else if (c == '\\') {
      if (pos_ + 1 < n && src_[pos_ + 1] != '\n')
        syntax_error(src_, pos_ + 1, "unexpected character after line continuation character");
      pos_ += 2;
      if (pos_ >= n) syntax_error(src_, n, "unexpected EOF while parsing");
    } else {
      break;
    }
  }
}

Token Lexer::lex() {
  const size_t n = src_.size();
  for (;;) {
    if (line_start_ && open_.empty()) skip_line_start();
    skip_blanks();
    if (pos_ >= n) {
      if (!open_.empty()) {
        syntax_error(src_, open_.back(), std::string("'") + src_[open_.back()] + "' was never closed");
      }
      Token t;
      t.begin = t.end = n;
      t.kind = line_has_token_ ? Tok::Newline : Tok::End;
      line_has_token_ = false;
      return t;
    }
    const char c = src_[pos_];
    if (c == '\n') {
      const size_t at = pos_++;
      if (!open_.empty()) continue;
      line_start_ = true;
      first_line_ = false;
      if (!line_has_token_) continue;
      line_has_token_ = false;
      Token t;
      t.kind = Tok::Newline;
      t.begin = at;
      t.end = at + 1;
      return t;
    }
    line_has_token_ = true;
    if (is_dec(c) || (c == '.' && pos_ + 1 < n && is_dec(src_[pos_ + 1]))) return lex_number(pos_);
    if (c == '\'' || c == '"') return lex_string(pos_, pos_, 0);
    if (is_name_start(c)) return lex_name(pos_);
    return lex_op(pos_);
  }
}

// Digits with single underscores between them (and, after a base prefix,
// before the first one); returns how many digits.
size_t Lexer::scan_digits(bool (*is_digit)(char), const char* fault, bool after_prefix) {
  const size_t n = src_.size();
  size_t count = 0;
  while (pos_ < n) {
    const char c = src_[pos_];
    if (is_digit(c)) {
      ++count;
      ++pos_;
    } else if (c == '_' && (count > 0 || after_prefix)) {
      if (pos_ + 1 >= n || !is_digit(src_[pos_ + 1])) syntax_error(src_, pos_ + 1, fault);
      ++pos_;
    } else {
      break;
    }
  }
  return count;
}

Token Lexer::lex_number(size_t begin) {
  const size_t n = src_.size();
  Token t;
  t.kind = Tok::Number;
  t.begin = pos_ = begin;
  if (src_[pos_] == '0' && pos_ + 1 < n && std::strchr("xXoObB", src_[pos_ + 1]) != nullptr) {
    const char base = static_cast<char>(src_[pos_ + 1] | 0x20);
    bool (*digit)(char) = base == 'x' ? is_hex : base == 'o' ? is_oct : is_bin;
    const char* name = base == 'x' ? "hexadecimal" : base == 'o' ? "octal" : "binary";
    const std::string fault = std::string("invalid ") + name + " literal";
    pos_ += 2;
    if (scan_digits(digit, fault.c_str(), true) == 0) syntax_error(src_, pos_, fault);
    if (pos_ < n && is_dec(src_[pos_]))
      syntax_error(src_, pos_, std::string("invalid digit '") + src_[pos_] + "' in " + name + " literal");
    if (pos_ < n && is_name_char(src_[pos_])) syntax_error(src_, pos_, fault);
    t.end = pos_;
    return t;
  }
  const char* fault = "invalid decimal literal";
  bool leading_zeros = false;
  if (src_[pos_] != '.') {
    const size_t start = pos_;
    scan_digits(is_dec, fault, false);
    if (src_[start] == '0') {
      for (size_t i = start; i < pos_; ++i) leading_zeros = leading_zeros || (src_[i] != '0' && src_[i] != '_');
    }
  }
  if (pos_ < n && src_[pos_] == '.') {
    ++pos_;
    t.number = NumKind::Float;
    if (pos_ < n && is_dec(src_[pos_])) scan_digits(is_dec, fault, false);
  }
  if (pos_ < n && (src_[pos_] | 0x20) == 'e') {
    ++pos_;
    if (pos_ < n && (src_[pos_] == '+' || src_[pos_] == '-')) ++pos_;
    if (pos_ >= n || !is_dec(src_[pos_])) syntax_error(src_, pos_, fault);
    scan_digits(is_dec, fault, false);
    t.number = NumKind::Float;
  }
  if (pos_ < n && (src_[pos_] | 0x20) == 'j') {
    ++pos_;
    t.number = NumKind::Imaginary;
    fault = "invalid imaginary literal";
  }
  if (t.number == NumKind::Int && leading_zeros) {
    syntax_error(src_, begin,
                 "leading zeros in decimal integer literals are not permitted; use an 0o prefix for octal integers");
  }
  if (pos_ < n && is_name_char(src_[pos_])) syntax_error(src_, pos_, fault);
  t.end = pos_;
  return t;
}

Token Lexer::lex_string(size_t begin, size_t quote, uint8_t flags) {
  const size_t n = src_.size();
  const char q = src_[quote];
  const bool triple = quote + 2 < n && src_[quote + 1] == q && src_[quote + 2] == q;
  size_t i = quote + (triple ? 3 : 1);
  Token t;
  t.kind = Tok::String;
  t.begin = begin;
  t.flags = flags;
  t.body_begin = i;
  if (!triple) {
    for (;;) {
      while (i < n && src_[i] != q && src_[i] != '\\' && src_[i] != '\n') ++i;
      if (i >= n || src_[i] == '\n')
        syntax_error(src_, begin, detected_at("unterminated string literal", src_, std::min(i, n)));
      if (src_[i] != '\\') break;
      i += 2;
    }
    t.body_end = i;
    pos_ = i + 1;
  } else {
    for (;;) {
      while (i < n && src_[i] != q && src_[i] != '\\') ++i;
      if (i >= n) syntax_error(src_, begin, detected_at("unterminated triple-quoted string literal", src_, n));
      if (src_[i] == '\\') {
        i += 2;
      } else if (i + 2 < n && src_[i + 1] == q && src_[i + 2] == q) {
        break;
      } else {
        ++i;
      }
    }
    t.body_end = i;
    pos_ = i + 3;
  }
  t.end = pos_;
  return t;
}

Token Lexer::lex_name(size_t begin) {
  const size_t n = src_.size();
  size_t i = begin;
  bool wide = false;
  while (i < n && is_name_char(src_[i])) {
    wide = wide || static_cast<unsigned char>(src_[i]) >= 0x80;
    ++i;
  }
  if (i < n && (src_[i] == '\'' || src_[i] == '"')) {
    bool valid = false;
    const uint8_t flags = string_prefix(src_.substr(begin, i - begin), valid);
    if (valid) return lex_string(begin, i, flags);
  }
  if (wide) {
    py::object name = checked(PyUnicode_DecodeUTF8(src_.data() + begin, static_cast<Py_ssize_t>(i - begin), nullptr));
    const int ok = PyUnicode_IsIdentifier(name.ptr());
    if (ok < 0) throw_pending();
    if (ok == 0) syntax_error(src_, begin, "invalid character in identifier");
  }
  pos_ = i;
  Token t;
  t.kind = Tok::Name;
  t.begin = begin;
  t.end = i;
  return t;
}

Token Lexer::lex_op(size_t begin) {
  Token t;
  t.kind = Tok::Op;
  t.begin = begin;
  const char c = src_[begin];
  if (kBracketsAndCommas.find(c) == std::string_view::npos) {
    const std::string_view rest = src_.substr(begin, 3);
    for (std::string_view op : kLongOps) {
      if (op[0] == c && rest.substr(0, op.size()) == op) {
        t.end = pos_ = begin + op.size();
        return t;
      }
    }
  }
  if (kShortOps.find(c) == std::string_view::npos) syntax_error(src_, begin, "invalid syntax");
  if (c == '(' || c == '[' || c == '{') {
    if (open_.size() >= kMaxNesting) syntax_error(src_, begin, "too many nested parentheses");
    open_.push_back(begin);
  } else if (c == ')' || c == ']' || c == '}') {
    if (open_.empty()) syntax_error(src_, begin, std::string("unmatched '") + c + "'");
    const char opener = src_[open_.back()];
    if ((opener == '(') != (c == ')') || (opener == '[') != (c == ']')) {
      syntax_error(src_, begin,
                   std::string("closing parenthesis '") + c + "' does not match opening parenthesis '" + opener + "'");
    }
    open_.pop_back();
  }
  t.end = pos_ = begin + 1;
  return t;
}

}  // namespace pelmora::literal
