// Reads cache texts written in the host's literal notation without running
// anything: one pass over the tokens builds the value. Anything eval would
// have to run (calls other than the datetime constructors, operators,
// subscripts, attribute access, comprehensions) is refused with ValueError.
// Failures are reported as eval orders them where it matters: a syntax fault
// anywhere in the text comes first (eval compiles before it evaluates), then a
// refusal, then the first failure in evaluation order (NameError, unhashable
// key, a datetime argument out of range). Once something failed, the rest of
// the text is still read for syntax but builds nothing.
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/host.h"
#include "core/host_literal.h"
#include "core/host_literal_lex.h"
#include "core/host_literal_source.h"
#include "core/host_literal_tokens.h"
#include "core/py_ref.h"

namespace pelmora {

namespace literal {
namespace {

// Dotted names a cache text may use, and whether they are called. Each is
// resolved as eval resolves it, through the module's own names first (so a
// substituted datetime module is honoured), then the builtins.
struct KnownName {
  std::string_view path;
  bool called;
};
constexpr KnownName kKnownNames[] = {
    {"datetime.datetime", true},  {"datetime.date", true},     {"datetime.time", true},
    {"datetime.timedelta", true}, {"datetime.timezone", true}, {"datetime.timezone.utc", false},
    {"set", true},                {"frozenset", true},
};
constexpr size_t kKnownCount = std::size(kKnownNames);

constexpr std::string_view kKeywords[] = {
    "False", "None",   "True",    "and",      "as",     "assert", "async", "await",  "break",
    "class", "continue", "def",   "del",      "elif",   "else",   "except", "finally", "for",
    "from",  "global", "if",      "import",   "in",     "is",     "lambda", "nonlocal", "not",
    "or",    "pass",   "raise",   "return",   "try",    "while",  "with",  "yield"};
// Keywords that make an expression eval would run; other keywords out of
// place are bad syntax.
constexpr std::string_view kCodeKeywords[] = {"lambda", "not", "await", "yield", "if",
                                              "for",    "async", "and", "or",    "in", "is"};
// Operators after or before a value: eval would compute with them.
constexpr std::string_view kCodeOperators[] = {"+",  "-",  "*",  "/",  "//", "%",  "**", "@",  "<<", ">>", "&",
                                               "|",  "^",  "~",  "<",  ">",  "<=", ">=", "==", "!=", ":="};

template <size_t N>
bool one_of(std::string_view text, const std::string_view (&table)[N]) {
  for (std::string_view entry : table) {
    if (entry == text) return true;
  }
  return false;
}

class Reader {
 public:
  explicit Reader(std::string_view src) : lex_(src), src_(src) {}

  py::object read() {
    const Token& first = lex_.peek();
    if (first.kind == Tok::Newline || first.kind == Tok::End) syntax_error(src_, first.begin, "invalid syntax");
    std::vector<py::object> items;
    const bool comma = values("", items, false);
    lex_.next();  // the end of the line
    const Token rest = lex_.next();
    if (rest.kind != Tok::End) syntax_error(src_, rest.begin, "invalid syntax");
    if (refused_) throw std::move(*refused_);
    if (pending_) throw std::move(*pending_);
    return comma ? sequence(items, false) : std::move(items.front());
  }

 private:
  bool building() const { return !pending_ && !refused_; }

  // Keeps the first failure eval would meet; later ones are dropped.
  void record() {
    if (pending_) {
      PyErr_Clear();
    } else {
      pending_.emplace();
    }
  }

  py::object attempt(PyObject* result) {
    if (result != nullptr) return stolen(result);
    record();
    return {};
  }

  void refuse(const std::string& what) {
    if (refused_) return;
    PyErr_SetString(PyExc_ValueError, ("not a literal: " + what).c_str());
    refused_.emplace();
  }

  // A construct the reader does not follow: the rest of the text is only
  // checked for lexical faults (which eval would report first).
  [[noreturn]] void refuse_rest(const std::string& what) {
    refuse(what);
    bool line_ended = false;
    for (;;) {
      const Token t = lex_.next();
      if (t.kind == Tok::End) break;
      if (t.kind == Tok::Newline) {
        line_ended = true;
      } else if (line_ended) {
        syntax_error(src_, t.begin, "invalid syntax");
      }
    }
    throw std::move(*refused_);
  }

  [[noreturn]] void unexpected(const Token& t) {
    const std::string_view text = t.text(src_);
    if (t.kind == Tok::Op) {
      if (text == "(") refuse_rest("call");
      if (text == "[") refuse_rest("subscript");
      if (text == ".") refuse_rest("attribute access");
      if (one_of(text, kCodeOperators)) refuse_rest("operator '" + std::string(text) + "'");
    }
    if (t.kind == Tok::Name && one_of(text, kCodeKeywords)) refuse_rest("keyword '" + std::string(text) + "'");
    syntax_error(src_, t.begin, "invalid syntax");
  }

  void name_error(std::string_view name) {
    if (pending_) return;
    const std::string message = "name '" + std::string(name) + "' is not defined";
    py::object error = checked(PyObject_CallFunction(PyExc_NameError, "s", message.c_str()));
    py::str plain(name.data(), name.size());
    if (PyObject_SetAttrString(error.ptr(), "name", plain.ptr()) < 0) throw_pending();
    PyErr_SetObject(PyExc_NameError, error.ptr());
    pending_.emplace();
  }

  // What a name means to eval: a name of the module, else a builtin; null
  // when it is neither.
  static py::object global(std::string_view name) {
    const std::string key(name);
    try {
      return module_attr(key.c_str());
    } catch (py::error_already_set& e) {
      if (!e.matches(PyExc_AttributeError)) throw;
    }
    PyObject* builtins = PyEval_GetBuiltins();
    PyObject* found = builtins ? PyDict_GetItemString(builtins, key.c_str()) : nullptr;
    return found ? borrowed(found) : py::object();
  }

  py::object known(size_t index) {
    if (known_[index]) return known_[index];
    const std::string_view path = kKnownNames[index].path;
    const size_t dot = path.find('.');
    const std::string_view head = path.substr(0, dot);
    py::object value = global(head);
    if (!value) {
      name_error(head);
      return {};
    }
    for (size_t at = dot; at != std::string_view::npos;) {
      const size_t next = path.find('.', at + 1);
      const std::string part(path.substr(at + 1, next == std::string_view::npos ? next : next - at - 1));
      value = attempt(PyObject_GetAttrString(value.ptr(), part.c_str()));
      if (!value) return {};
      at = next;
    }
    known_[index] = value;
    return value;
  }

  // Comma-separated values up to `close` (taken), or to the end of the line
  // when `close` is empty; true when a comma was seen.
  bool values(std::string_view close, std::vector<py::object>& items, bool comma) {
    auto at_close = [&] {
      const Token& t = lex_.peek();
      return close.empty() ? t.kind == Tok::Newline : t.is(src_, Tok::Op, close);
    };
    while (!at_close()) {
      items.push_back(expr());
      if (lex_.peek_op(",")) {
        lex_.next();
        comma = true;
      } else if (!at_close()) {
        unexpected(lex_.peek());
      }
    }
    if (!close.empty()) lex_.next();
    return comma;
  }

  py::object sequence(std::vector<py::object>& items, bool list) {
    if (!building()) return {};
    const auto n = static_cast<Py_ssize_t>(items.size());
    py::object out = checked(list ? PyList_New(n) : PyTuple_New(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* item = items[static_cast<size_t>(i)].release().ptr();
      if (list) {
        PyList_SET_ITEM(out.ptr(), i, item);
      } else {
        PyTuple_SET_ITEM(out.ptr(), i, item);
      }
    }
    return out;
  }

  // Signs before a value, applied to numbers as the host folds them;
  // negating anything else is eval's TypeError for the plain types and
  // refused for the rest (it would run the type's own code).
  py::object expr() {
    size_t signs = 0;
    bool negative = false;
    bool innermost_minus = false;
    while (lex_.peek_op("-") || lex_.peek_op("+")) {
      innermost_minus = lex_.next().is(src_, Tok::Op, "-");
      negative ^= innermost_minus;
      if (++signs > 3 * static_cast<size_t>(Py_GetRecursionLimit())) {
        PyErr_SetString(PyExc_RecursionError, "maximum recursion depth exceeded during compilation");
        throw_pending();
      }
    }
    bool real_number = false;
    py::object value = primary(real_number);
    if (signs > 0 && building()) value = signed_value(std::move(value), negative, innermost_minus);
    // A complex number written as real part plus or minus imaginary part.
    if (real_number && (lex_.peek_op("+") || lex_.peek_op("-")) && lex_.peek(1).kind == Tok::Number &&
        lex_.peek(1).number == NumKind::Imaginary) {
      const bool minus = lex_.next().is(src_, Tok::Op, "-");
      const Token imaginary = lex_.next();
      if (building()) {
        py::object part = number_value(src_, imaginary, scratch_);
        value = attempt(minus ? PyNumber_Subtract(value.ptr(), part.ptr()) : PyNumber_Add(value.ptr(), part.ptr()));
      }
    }
    return value;
  }

  py::object signed_value(py::object value, bool negative, bool innermost_minus) {
    PyObject* v = value.ptr();
    if (PyBool_Check(v) || PyLong_CheckExact(v) || PyFloat_CheckExact(v) || PyComplex_CheckExact(v)) {
      if (PyBool_Check(v)) value = checked(PyNumber_Long(v));  // a signed bool is an int
      return negative ? checked(PyNumber_Negative(value.ptr())) : value;
    }
    if (v == Py_None || v == Py_Ellipsis || PyUnicode_CheckExact(v) || PyBytes_CheckExact(v) ||
        PyList_CheckExact(v) || PyTuple_CheckExact(v) || PyDict_CheckExact(v) || PyAnySet_CheckExact(v)) {
      return attempt(innermost_minus ? PyNumber_Negative(v) : PyNumber_Positive(v));
    }
    refuse(std::string("operator '") + (innermost_minus ? "-" : "+") + "' on " + Py_TYPE(v)->tp_name);
    return {};
  }

  py::object primary(bool& real_number) {
    const Token t = lex_.next();
    if (t.kind == Tok::Number) {
      real_number = t.number != NumKind::Imaginary;
      return building() ? number_value(src_, t, scratch_) : py::object();
    }
    if (t.kind == Tok::String) return strings(t);
    if (t.kind == Tok::Name) return name(t);
    if (t.kind == Tok::Op) {
      const std::string_view op = t.text(src_);
      std::vector<py::object> items;
      if (op == "(") {
        const bool comma = values(")", items, false);
        if (items.size() == 1 && !comma) return std::move(items.front());
        return sequence(items, false);
      }
      if (op == "[") {
        values("]", items, false);
        return sequence(items, true);
      }
      if (op == "{") return braces();
      if (op == "...") return borrowed(Py_Ellipsis);
      if (op == "*" || op == "**") refuse_rest("unpacking '" + std::string(op) + "'");
    }
    unexpected(t);
  }

  // Adjacent literals join into one value, as the compiler joins them.
  py::object strings(Token t) {
    const bool bytes = (t.flags & kBytes) != 0;
    bool surrogates = false;
    bool replacement = false;
    text_.clear();
    for (;;) {
      if (((t.flags & kBytes) != 0) != bytes) syntax_error(src_, t.begin, "cannot mix bytes and nonbytes literals");
      if (t.flags & kFormat) {
        const std::string_view body = src_.substr(t.body_begin, t.body_end - t.body_begin);
        replacement = replacement || body.find_first_of("{}") != std::string_view::npos;
      }
      append_string_body(src_, t, text_, surrogates);
      if (lex_.peek().kind != Tok::String) break;
      t = lex_.next();
    }
    if (replacement) refuse("f-string replacement field");
    if (!building()) return {};
    const auto size = static_cast<Py_ssize_t>(text_.size());
    return checked(bytes ? PyBytes_FromStringAndSize(text_.data(), size)
                         : PyUnicode_DecodeUTF8(text_.data(), size, surrogates ? "surrogatepass" : nullptr));
  }

  // True/False/None, the known dotted names and their calls; any other name
  // is eval's NameError when it means nothing, else refused.
  py::object name(const Token& t) {
    const std::string_view head = t.text(src_);
    if (head == "True") return borrowed(Py_True);
    if (head == "False") return borrowed(Py_False);
    if (head == "None") return borrowed(Py_None);
    if (one_of(head, kKeywords)) unexpected(t);
    std::string path(head);
    while (lex_.peek_op(".")) {
      lex_.next();
      const Token part = lex_.next();
      if (part.kind != Tok::Name || one_of(part.text(src_), kKeywords)) syntax_error(src_, part.begin, "invalid syntax");
      path += '.';
      path += part.text(src_);
    }
    const bool called = lex_.peek_op("(");
    py::object target;
    if (!refused_) {
      size_t index = 0;
      while (index < kKnownCount && (kKnownNames[index].path != path || kKnownNames[index].called != called)) ++index;
      if (index == kKnownCount) {
        if (global(head)) {
          refuse((called ? "call of '" : "name '") + path + "'");
        } else {
          name_error(head);
        }
      } else if (building()) {
        target = known(index);
      }
    }
    return called ? call(target) : target;
  }

  py::object call(const py::object& target) {
    lex_.next();  // (
    std::vector<py::object> args;
    std::vector<std::pair<Token, py::object>> keywords;
    std::unordered_set<std::string_view> keyword_names;
    while (!lex_.peek_op(")")) {
      const Token& t = lex_.peek();
      if (t.kind == Tok::Name && lex_.peek(1).is(src_, Tok::Op, "=")) {
        const Token key = lex_.next();
        lex_.next();
        if (one_of(key.text(src_), kKeywords)) syntax_error(src_, key.begin, "invalid syntax");
        if (!keyword_names.insert(key.text(src_)).second)
          syntax_error(src_, key.begin, "keyword argument repeated: " + std::string(key.text(src_)));
        keywords.emplace_back(key, expr());
      } else {
        if (!keywords.empty() && !t.is(src_, Tok::Op, "*") && !t.is(src_, Tok::Op, "**"))
          syntax_error(src_, t.begin, "positional argument follows keyword argument");
        args.push_back(expr());
      }
      if (lex_.peek_op(",")) {
        lex_.next();
      } else if (!lex_.peek_op(")")) {
        unexpected(lex_.peek());
      }
    }
    lex_.next();  // )
    if (!building()) return {};
    py::object positional = sequence(args, false);
    py::dict named;
    for (auto& [key, value] : keywords) {
      const std::string_view k = key.text(src_);
      named[py::str(k.data(), k.size())] = value;
    }
    return attempt(PyObject_Call(target.ptr(), positional.ptr(), keywords.empty() ? nullptr : named.ptr()));
  }

  py::object braces() {
    std::vector<py::object> items;
    if (lex_.peek_op("}")) {
      lex_.next();
      return building() ? checked(PyDict_New()) : py::object();
    }
    items.push_back(expr());
    if (!lex_.peek_op(":")) {
      bool comma = false;
      if (lex_.peek_op(",")) {
        lex_.next();
        comma = true;
      } else if (!lex_.peek_op("}")) {
        unexpected(lex_.peek());
      }
      values("}", items, comma);
      if (!building()) return {};
      py::object set = checked(PySet_New(nullptr));
      for (const py::object& item : items) {
        if (PySet_Add(set.ptr(), item.ptr()) < 0) return attempt(nullptr);
      }
      return set;
    }
    for (;;) {
      lex_.next();  // :
      items.push_back(expr());
      if (lex_.peek_op(",")) lex_.next();
      else if (!lex_.peek_op("}")) unexpected(lex_.peek());
      if (lex_.peek_op("}")) break;
      items.push_back(expr());
      if (!lex_.peek_op(":")) unexpected(lex_.peek());
    }
    lex_.next();  // }
    if (!building()) return {};
    py::object dict = checked(PyDict_New());
    for (size_t i = 0; i < items.size(); i += 2) {
      if (PyDict_SetItem(dict.ptr(), items[i].ptr(), items[i + 1].ptr()) < 0) return attempt(nullptr);
    }
    return dict;
  }

  Lexer lex_;
  std::string_view src_;
  std::optional<py::error_already_set> refused_;  // the first construct eval would have to run
  std::optional<py::error_already_set> pending_;  // the first failure of evaluation
  std::string text_;     // contents of the string literal being read
  std::string scratch_;  // number digits
  py::object known_[kKnownCount];
};

// The text's bytes as the host's compiler sees them: str as UTF-8, anything
// with a buffer (bytes, bytearray, memoryview) checked as UTF-8 after a BOM.
class SourceBytes {
 public:
  explicit SourceBytes(py::handle text) {
    PyObject* p = text.ptr();
    if (PyUnicode_Check(p)) {
      Py_ssize_t size = 0;
      const char* data = PyUnicode_AsUTF8AndSize(p, &size);
      if (data == nullptr) throw_pending();
      view_ = {data, static_cast<size_t>(size)};
      return;
    }
    if (PyCode_Check(p)) {
      PyErr_SetString(PyExc_ValueError, "not a literal: code object");
      throw_pending();
    }
    if (!PyObject_CheckBuffer(p) || PyObject_GetBuffer(p, &buffer_, PyBUF_SIMPLE) < 0) {
      PyErr_Clear();
      raise(PyExc_TypeError, "eval() arg 1 must be a string, bytes or code object");
    }
    held_ = true;
    view_ = {static_cast<const char*>(buffer_.buf), static_cast<size_t>(buffer_.len)};
    if (view_.substr(0, 3) == "\xEF\xBB\xBF") view_.remove_prefix(3);
    if (PyObject* checked_text = PyUnicode_DecodeUTF8(view_.data(), static_cast<Py_ssize_t>(view_.size()), nullptr)) {
      Py_DECREF(checked_text);
      return;
    }
    py::error_already_set fault;
    raise(PyExc_SyntaxError, ("(unicode error) " + py::str(fault.value()).cast<std::string>()).c_str());
  }
  ~SourceBytes() {
    if (held_) PyBuffer_Release(&buffer_);
  }
  SourceBytes(const SourceBytes&) = delete;
  SourceBytes& operator=(const SourceBytes&) = delete;

  std::string_view view() const { return view_; }

 private:
  Py_buffer buffer_{};
  bool held_ = false;
  std::string_view view_;
};

}  // namespace
}  // namespace literal

py::object read_host_literal(py::handle text) {
  literal::SourceBytes source(text);
  std::string_view src = source.view();
  if (!src.empty() && std::memchr(src.data(), '\0', src.size()) != nullptr)
    raise(PyExc_SyntaxError, "source code string cannot contain null bytes");
  // The compiler reads \r\n and a lone \r as \n.
  std::string translated;
  if (!src.empty() && std::memchr(src.data(), '\r', src.size()) != nullptr) {
    translated.reserve(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
      if (src[i] != '\r') {
        translated.push_back(src[i]);
      } else {
        translated.push_back('\n');
        if (i + 1 < src.size() && src[i + 1] == '\n') ++i;
      }
    }
    src = translated;
  }
  return literal::Reader(src).read();
}

}  // namespace pelmora
