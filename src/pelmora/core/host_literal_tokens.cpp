#include "core/host_literal_tokens.h"

#include <cstdint>
#include <cstring>

#include "core/host_literal_source.h"
#include "core/py_ref.h"

namespace pelmora::literal {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Resolves one escape of a text or bytes literal body; `i` is just past the
// backslash and ends past the escape.
class EscapeReader {
 public:
  EscapeReader(std::string_view src, const Token& t, std::string& out, bool& surrogates)
      : src_(src), t_(t), bytes_((t.flags & kBytes) != 0), out_(out), surrogates_(surrogates) {}

  void escape(size_t& i) {
    const size_t start = i - 1;
    const char c = src_[i++];
    switch (c) {
      case '\n': return;  // line continuation inside the literal
      case '\\': case '\'': case '"': out_.push_back(c); return;
      case 'a': out_.push_back('\a'); return;
      case 'b': out_.push_back('\b'); return;
      case 'f': out_.push_back('\f'); return;
      case 'n': out_.push_back('\n'); return;
      case 'r': out_.push_back('\r'); return;
      case 't': out_.push_back('\t'); return;
      case 'v': out_.push_back('\v'); return;
      case 'x': code_point(hex_digits(i, 2, start, "truncated \\xXX escape"), start, i); return;
      default: break;
    }
    if (c >= '0' && c <= '7') {
      uint32_t value = static_cast<uint32_t>(c - '0');
      for (int k = 0; k < 2 && i < t_.body_end && src_[i] >= '0' && src_[i] <= '7'; ++k) value = value * 8 + (src_[i++] - '0');
      code_point(bytes_ ? (value & 0xFF) : value, start, i);
      return;
    }
    if (!bytes_ && c == 'u') return code_point(hex_digits(i, 4, start, "truncated \\uXXXX escape"), start, i);
    if (!bytes_ && c == 'U') return code_point(hex_digits(i, 8, start, "truncated \\UXXXXXXXX escape"), start, i);
    if (!bytes_ && c == 'N') return named(i, start);
    // Unknown escapes keep their backslash, as the host does (with only a warning).
    out_.push_back('\\');
    --i;
  }

 private:
  [[noreturn]] void fail(size_t start, size_t end, const char* reason) {
    const size_t from = start - t_.body_begin;
    const size_t to = end - t_.body_begin - 1;
    std::string message = bytes_ ? std::string("(value error) ") + reason + " at position " + std::to_string(from)
                                 : "(unicode error) 'unicodeescape' codec can't decode bytes in position " +
                                       std::to_string(from) + "-" + std::to_string(to) + ": " + reason;
    syntax_error(src_, t_.begin, message);
  }

  uint32_t hex_digits(size_t& i, int count, size_t start, const char* reason) {
    uint32_t value = 0;
    for (int k = 0; k < count; ++k) {
      const int d = i < t_.body_end ? hex_value(src_[i]) : -1;
      if (d < 0) fail(start, i + 1 > t_.body_end ? t_.body_end : i + 1, bytes_ ? "invalid \\x escape" : reason);
      value = value * 16 + static_cast<uint32_t>(d);
      ++i;
    }
    return value;
  }

  void code_point(uint32_t cp, size_t start, size_t end) {
    if (bytes_) {
      out_.push_back(static_cast<char>(cp));
      return;
    }
    if (cp > 0x10FFFF) fail(start, end, "illegal Unicode character");
    if (cp >= 0xD800 && cp <= 0xDFFF) surrogates_ = true;
    append_utf8(out_, cp);
  }

  void named(size_t& i, size_t start) {
    const size_t close = i < t_.body_end && src_[i] == '{' ? src_.find('}', i) : std::string_view::npos;
    if (close == std::string_view::npos || close >= t_.body_end || close == i + 1)
      fail(start, close == std::string_view::npos || close >= t_.body_end ? t_.body_end : close + 1,
           "malformed \\N character escape");
    py::str name(src_.data() + i + 1, close - i - 1);
    PyObject* found = PyObject_CallOneArg(py::module_::import("unicodedata").attr("lookup").ptr(), name.ptr());
    if (found == nullptr) {
      if (!PyErr_ExceptionMatches(PyExc_KeyError)) throw_pending();
      PyErr_Clear();
      fail(start, close + 1, "unknown Unicode character name");
    }
    py::object text = stolen(found);
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (utf8 == nullptr) throw_pending();
    out_.append(utf8, static_cast<size_t>(size));
    i = close + 1;
  }

  std::string_view src_;
  const Token& t_;
  bool bytes_;
  std::string& out_;
  bool& surrogates_;
};

}  // namespace

py::object number_value(std::string_view src, const Token& t, std::string& scratch) {
  const std::string_view text = t.text(src);
  if (t.number == NumKind::Int) {
    if (text.size() <= 18 && text.find_first_not_of("0123456789") == std::string_view::npos) {
      long long value = 0;
      for (char c : text) value = value * 10 + (c - '0');
      return checked(PyLong_FromLongLong(value));
    }
    scratch.assign(text);
    PyObject* value = PyLong_FromString(scratch.c_str(), nullptr, 0);
    if (value == nullptr) {
      // The host reports the digit limit of huge decimal literals as a syntax error.
      if (!PyErr_ExceptionMatches(PyExc_ValueError)) throw_pending();
      py::error_already_set limit;
      syntax_error(src, t.begin,
                   py::str(limit.value()).cast<std::string>() +
                       " - Consider hexadecimal for huge integer literals to avoid decimal conversion limits.");
    }
    return stolen(value);
  }
  scratch.clear();
  for (char c : text) {
    if (c != '_' && (c | 0x20) != 'j') scratch.push_back(c);
  }
  const double value = PyOS_string_to_double(scratch.c_str(), nullptr, nullptr);
  if (value == -1.0 && PyErr_Occurred()) throw_pending();
  return checked(t.number == NumKind::Imaginary ? PyComplex_FromDoubles(0.0, value) : PyFloat_FromDouble(value));
}

void append_string_body(std::string_view src, const Token& t, std::string& out, bool& surrogates) {
  const bool bytes = (t.flags & kBytes) != 0;
  if (bytes) {
    for (size_t i = t.body_begin; i < t.body_end; ++i) {
      if (static_cast<unsigned char>(src[i]) >= 0x80)
        syntax_error(src, t.begin, "bytes can only contain ASCII literal characters");
    }
  }
  if (t.flags & kRaw) {
    out.append(src.data() + t.body_begin, t.body_end - t.body_begin);
    return;
  }
  EscapeReader escapes(src, t, out, surrogates);
  size_t i = t.body_begin;
  while (i < t.body_end) {
    const void* found = std::memchr(src.data() + i, '\\', t.body_end - i);
    const size_t stop = found ? static_cast<size_t>(static_cast<const char*>(found) - src.data()) : t.body_end;
    out.append(src.data() + i, stop - i);
    if (stop == t.body_end) break;
    i = stop + 1;
    escapes.escape(i);
  }
}

}  // namespace pelmora::literal
