// A cache text handed to the interpreter's parser exactly as eval hands it
// over, so that every syntax error is the one eval gives on this Python.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace pelmora::literal {
namespace py = pybind11;

// The text's bytes as eval takes them: a str as UTF-8, anything with a
// buffer (bytes, bytearray, memoryview) as it is, a code object noted;
// anything else is eval's TypeError.
class SourceBytes {
 public:
  explicit SourceBytes(py::handle text);
  ~SourceBytes();
  SourceBytes(const SourceBytes&) = delete;
  SourceBytes& operator=(const SourceBytes&) = delete;

  std::string_view view() const { return view_; }
  bool is_text() const { return is_text_; }
  bool is_code() const { return is_code_; }

 private:
  Py_buffer buffer_{};
  bool held_ = false;
  bool is_text_ = false;
  bool is_code_ = false;
  std::string_view view_;
};

// Warnings the parser would give (an invalid escape, "is" with a literal) are
// not shown while one of these lives, as under the "ignore" filter the module
// installs; a caller's "error" filter would otherwise turn them into a
// SyntaxError eval never gave.
class QuietWarnings {
 public:
  QuietWarnings();
  ~QuietWarnings();
  QuietWarnings(const QuietWarnings&) = delete;
  QuietWarnings& operator=(const QuietWarnings&) = delete;

 private:
  py::object scope_;
};

// Compiles `nul_terminated` (the source's bytes) as eval does, which drops
// leading blanks and tabs first: with `tree` only the syntax tree is made,
// else the code, whose compiler finds a few more errors.
py::object compile(const SourceBytes& source, const std::string& nul_terminated, bool tree);

}  // namespace pelmora::literal
