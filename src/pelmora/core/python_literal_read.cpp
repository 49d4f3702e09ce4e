// Reads cache texts in Python literal notation without running anything: the
// interpreter's own parser makes the syntax tree (so every SyntaxError is the
// one eval gives on this Python), and a short whitelist walks it. Failures
// come in eval's order where it matters: syntax first (eval compiles before it
// runs), then a construct that would run code (ValueError, wherever it sits),
// then the first failure of evaluation (NameError, unhashable key, a datetime
// argument out of range). After a failure the rest of the tree is still
// walked for refusals but builds nothing.
#include <pybind11/gil_safe_call_once.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/py_ref.h"
#include "core/python.h"
#include "core/python_literal.h"
#include "core/python_literal_nesting.h"
#include "core/python_literal_parse.h"

namespace pelmora {

namespace literal {
namespace {

// Interned names of the tree's fields, made once.
struct Fields {
  py::str body{"body"}, value{"value"}, elts{"elts"}, keys{"keys"}, values{"values"}, op{"op"},
      operand{"operand"}, left{"left"}, right{"right"}, func{"func"}, args{"args"}, keywords{"keywords"},
      arg{"arg"}, id{"id"}, attr{"attr"}, ops{"ops"}, elt{"elt"}, key{"key"}, target{"target"};
};

const Fields& fields() {
  PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<Fields> storage;
  return storage.call_once_and_store_result([] { return Fields(); }).get_stored();
}

// Dotted names a cache text may use, and whether they are called: what
// datetime values, sets and frozensets print as. Resolved as eval resolves
// them, through the module's own names first (so a substituted datetime
// module is honoured), then the builtins.
struct KnownName {
  std::string_view path;
  bool called;
};
constexpr KnownName kKnownNames[] = {
    {"datetime.datetime", true},  {"datetime.date", true},     {"datetime.time", true},
    {"datetime.timedelta", true}, {"datetime.timezone", true}, {"datetime.timezone.utc", false},
    {"set", true},                {"frozenset", true},
};

bool is_known(std::string_view path, bool called) {
  for (const KnownName& known : kKnownNames) {
    if (known.path == path && known.called == called) return true;
  }
  return false;
}

// How a refused node is named in the ValueError.
struct Spelling {
  std::string_view node, text;
};
constexpr Spelling kSpellings[] = {
    {"Add", "operator '+'"},      {"Sub", "operator '-'"},       {"Mult", "operator '*'"},
    {"Div", "operator '/'"},      {"FloorDiv", "operator '//'"}, {"Mod", "operator '%'"},
    {"Pow", "operator '**'"},     {"MatMult", "operator '@'"},   {"LShift", "operator '<<'"},
    {"RShift", "operator '>>'"},  {"BitAnd", "operator '&'"},    {"BitOr", "operator '|'"},
    {"BitXor", "operator '^'"},   {"Invert", "operator '~'"},    {"Lt", "operator '<'"},
    {"Gt", "operator '>'"},       {"LtE", "operator '<='"},      {"GtE", "operator '>='"},
    {"Eq", "operator '=='"},      {"NotEq", "operator '!='"},    {"NamedExpr", "operator ':='"},
    {"Not", "keyword 'not'"},     {"NotIn", "keyword 'not'"},    {"In", "keyword 'in'"},
    {"Is", "keyword 'is'"},       {"IsNot", "keyword 'is'"},     {"And", "keyword 'and'"},
    {"Or", "keyword 'or'"},       {"Lambda", "keyword 'lambda'"}, {"IfExp", "keyword 'if'"},
    {"ListComp", "keyword 'for'"}, {"SetComp", "keyword 'for'"}, {"DictComp", "keyword 'for'"},
    {"GeneratorExp", "keyword 'for'"}, {"Await", "keyword 'await'"}, {"Yield", "keyword 'yield'"},
    {"YieldFrom", "keyword 'yield'"}, {"Subscript", "subscript"}, {"Starred", "unpacking '*'"},
    {"FormattedValue", "f-string replacement field"},
};

std::string_view kind(py::handle node) { return Py_TYPE(node.ptr())->tp_name; }

std::string spelled(py::handle node) {
  const std::string_view name = kind(node);
  for (const Spelling& s : kSpellings) {
    if (s.node == name) return std::string(s.text);
  }
  return "expression " + std::string(name);
}

// A construct eval would have to run: reported as ValueError once the text
// is known to compile.
struct Refusal {
  std::string what;
};

// Types whose unary plus and minus are the interpreter's own (a number's
// value or eval's TypeError); on anything else they would run its code.
bool plain_operand(PyObject* v) {
  return v == Py_None || v == Py_Ellipsis || PyBool_Check(v) || PyLong_CheckExact(v) || PyFloat_CheckExact(v) ||
         PyComplex_CheckExact(v) || PyUnicode_CheckExact(v) || PyBytes_CheckExact(v) || PyList_CheckExact(v) ||
         PyTuple_CheckExact(v) || PyDict_CheckExact(v) || PySet_CheckExact(v) || PyFrozenSet_CheckExact(v);
}

class Walker {
 public:
  Walker() : f_(fields()) {}

  // The value of an Expression tree; throws Refusal or the first failure.
  py::object run(py::handle tree) {
    py::object value = walk(tree.attr(f_.body));
    if (failed_) throw std::move(*failed_);
    return value;
  }

  bool repeated_keyword() const { return repeated_keyword_; }

 private:
  bool building() const { return !failed_; }

  // Keeps the first failure eval would meet; later ones are dropped.
  py::object attempt(PyObject* result) {
    if (result != nullptr) return stolen(result);
    if (failed_) {
      PyErr_Clear();
    } else {
      failed_.emplace();
    }
    return {};
  }

  void name_error(const std::string& name) {
    if (failed_) return;
    const std::string message = "name '" + name + "' is not defined";
    py::object error = checked(PyObject_CallFunction(PyExc_NameError, "s", message.c_str()));
    if (PyObject_SetAttrString(error.ptr(), "name", py::str(name).ptr()) < 0) throw_pending();
    PyErr_SetObject(PyExc_NameError, error.ptr());
    failed_.emplace();
  }

  // What a name means to eval: a name of the module, else a builtin; null
  // when it is neither.
  static py::object global(const std::string& name) {
    try {
      return module_attr(name.c_str());
    } catch (py::error_already_set& e) {
      if (!e.matches(PyExc_AttributeError)) throw;
    }
    PyObject* builtins = PyEval_GetBuiltins();
    PyObject* found = builtins ? PyDict_GetItemString(builtins, name.c_str()) : nullptr;
    return found ? borrowed(found) : py::object();
  }

  // "a.b.c" of a Name or a chain of attributes over one; false when the
  // chain starts at anything else.
  bool dotted(py::handle node, std::string& path) {
    const std::string_view k = kind(node);
    if (k == "Name") {
      path = node.attr(f_.id).cast<std::string>();
      return true;
    }
    if (k != "Attribute" || !dotted(node.attr(f_.value), path)) return false;
    path += '.';
    path += node.attr(f_.attr).cast<std::string>();
    return true;
  }

  // A known dotted name, resolved; refused or NameError otherwise.
  py::object named(py::handle node, bool called) {
    std::string path;
    if (!dotted(node, path)) {
      walk(node.attr(f_.value));
      throw Refusal{"attribute access"};
    }
    const std::string head = path.substr(0, path.find('.'));
    if (!is_known(path, called)) {
      if (global(head)) throw Refusal{(called ? "call of '" : "name '") + path + "'"};
      name_error(head);
      return {};
    }
    if (!building()) return {};
    py::object value = global(head);
    if (!value) {
      name_error(head);
      return {};
    }
    for (size_t at = head.size(); value && at < path.size();) {
      const size_t next = std::min(path.find('.', at + 1), path.size());
      const std::string part = path.substr(at + 1, next - at - 1);
      value = attempt(PyObject_GetAttrString(value.ptr(), part.c_str()));
      at = next;
    }
    return value;
  }

  std::vector<py::object> items(py::handle list) {
    std::vector<py::object> out;
    for (py::handle item : list) out.push_back(walk(item));
    return out;
  }

  py::object sequence(std::vector<py::object> items, bool list) {
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

  py::object set(py::handle node) {
    std::vector<py::object> elements = items(node.attr(f_.elts));
    if (!building()) return {};
    py::object out = checked(PySet_New(nullptr));
    for (const py::object& e : elements) {
      if (PySet_Add(out.ptr(), e.ptr()) < 0) return attempt(nullptr);
    }
    return out;
  }

  // Keys and values in source order, then the dict: eval evaluates every
  // pair before it builds, so an unhashable key fails after them.
  py::object dict(py::handle node) {
    std::vector<py::object> pairs;
    py::list values = node.attr(f_.values);
    Py_ssize_t i = 0;
    for (py::handle key : node.attr(f_.keys)) {
      if (key.is_none()) throw Refusal{"unpacking '**'"};
      pairs.push_back(walk(key));
      py::object value = values[i++];
      pairs.push_back(walk(value));
    }
    if (!building()) return {};
    py::object out = checked(PyDict_New());
    for (size_t p = 0; p < pairs.size(); p += 2) {
      if (PyDict_SetItem(out.ptr(), pairs[p].ptr(), pairs[p + 1].ptr()) < 0) return attempt(nullptr);
    }
    return out;
  }

  // Sign applied as eval would: numbers and the plain types get the
  // interpreter's own result (a value or its TypeError).
  py::object unary(py::handle node) {
    const std::string_view op = kind(node.attr(f_.op));
    if (op != "USub" && op != "UAdd") throw Refusal{spelled(node.attr(f_.op))};
    py::object operand = walk(node.attr(f_.operand));
    if (!building()) return {};
    PyObject* v = operand.ptr();
    const bool minus = op == "USub";
    if (!plain_operand(v)) {
      throw Refusal{std::string("operator '") + (minus ? "-" : "+") + "' on " + Py_TYPE(v)->tp_name};
    }
    return attempt(minus ? PyNumber_Negative(v) : PyNumber_Positive(v));
  }

  // A real number, signed or not, as a complex literal's first part.
  bool real_number(py::handle node) {
    const std::string_view k = kind(node);
    if (k == "UnaryOp") {
      const std::string_view op = kind(node.attr(f_.op));
      return (op == "USub" || op == "UAdd") && real_number(node.attr(f_.operand));
    }
    if (k != "Constant") return false;
    PyObject* v = node.attr(f_.value).ptr();
    return !PyBool_Check(v) && (PyLong_Check(v) || PyFloat_Check(v));
  }

  // Only a complex literal: a real number plus or minus an imaginary one.
  py::object binary(py::handle node) {
    const std::string_view op = kind(node.attr(f_.op));
    py::handle right = node.attr(f_.right);
    const bool complex_literal = (op == "Add" || op == "Sub") && kind(right) == "Constant" &&
                                 PyComplex_CheckExact(right.attr(f_.value).ptr()) && real_number(node.attr(f_.left));
    py::object left = walk(node.attr(f_.left));
    if (!complex_literal) throw Refusal{spelled(node.attr(f_.op))};
    py::object imaginary = walk(right);
    if (!building()) return {};
    return attempt(op == "Add" ? PyNumber_Add(left.ptr(), imaginary.ptr())
                               : PyNumber_Subtract(left.ptr(), imaginary.ptr()));
  }

  py::object call(py::handle node) {
    py::handle func = node.attr(f_.func);
    const std::string_view k = kind(func);
    py::object target;
    if (k == "Name" || k == "Attribute") {
      target = named(func, true);
    } else {
      walk(func);
      throw Refusal{"call"};
    }
    std::vector<py::object> args;
    for (py::handle arg : node.attr(f_.args)) {
      if (kind(arg) == "Starred") throw Refusal{"unpacking '*'"};
      args.push_back(walk(arg));
    }
    py::dict named_args;
    std::unordered_set<std::string> seen;
    for (py::handle keyword : node.attr(f_.keywords)) {
      py::handle name = keyword.attr(f_.arg);
      if (name.is_none()) throw Refusal{"unpacking '**'"};
      if (!seen.insert(name.cast<std::string>()).second) repeated_keyword_ = true;
      py::object value = walk(keyword.attr(f_.value));
      if (building()) named_args[name] = value;
    }
    if (!building()) return {};
    py::object positional = sequence(std::move(args), false);
    return attempt(PyObject_Call(target.ptr(), positional.ptr(), seen.empty() ? nullptr : named_args.ptr()));
  }

  // f-strings without fields are plain texts.
  py::object joined(py::handle node) {
    py::list parts;
    for (py::handle part : node.attr(f_.values)) {
      if (kind(part) != "Constant") throw Refusal{spelled(part)};
      parts.append(part.attr(f_.value));
    }
    return building() ? checked(PyUnicode_Join(py::str("").ptr(), parts.ptr())) : py::object();
  }

  py::object walk(py::handle node) {
    const std::string_view k = kind(node);
    if (k == "Constant") return node.attr(f_.value);
    if (k == "Tuple") return sequence(items(node.attr(f_.elts)), false);
    if (k == "List") return sequence(items(node.attr(f_.elts)), true);
    if (k == "Dict") return dict(node);
    if (k == "Set") return set(node);
    if (k == "UnaryOp") return unary(node);
    if (k == "BinOp") return binary(node);
    if (k == "Call") return call(node);
    if (k == "Name" || k == "Attribute") return named(node, false);
    if (k == "JoinedStr") return joined(node);
    // Refused; what stands before the refused part in the text is looked at first.
    if (k == "Compare") {
      walk(node.attr(f_.left));
      py::object first = node.attr(f_.ops)[py::int_(0)];
      throw Refusal{spelled(first)};
    }
    if (k == "BoolOp") {
      py::object first = node.attr(f_.values)[py::int_(0)];
      walk(first);
      throw Refusal{spelled(node.attr(f_.op))};
    }
    if (k == "Subscript" || k == "IfExp") walk(node.attr(k == "IfExp" ? f_.body : f_.value));
    if (k == "ListComp" || k == "SetComp" || k == "GeneratorExp") walk(node.attr(f_.elt));
    if (k == "DictComp") walk(node.attr(f_.key));
    if (k == "NamedExpr") walk(node.attr(f_.target));
    throw Refusal{spelled(node)};
  }

  const Fields& f_;
  std::optional<py::error_already_set> failed_;
  bool repeated_keyword_ = false;
};

}  // namespace
}  // namespace literal

py::object read_python_literal(py::handle text) {
  using literal::Refusal;
  try {
    literal::SourceBytes source(text);
    if (source.is_code()) throw Refusal{"code object"};
    const std::string_view src = source.view();
    if (src.size() > kMaxLiteralBytes) {
      throw py::value_error("cache text of " + std::to_string(src.size()) + " bytes is over the reader's limit of " +
                            std::to_string(kMaxLiteralBytes));
    }
    if (!src.empty() && std::memchr(src.data(), '\0', src.size()) != nullptr) {
      // The interpreter's own error for it (its type differs between versions).
      PyObject* builtins = PyEval_GetBuiltins();
      PyObject* compile = builtins ? PyDict_GetItemString(builtins, "compile") : nullptr;
      if (compile != nullptr) checked(PyObject_CallFunction(compile, "Oss", text.ptr(), "<string>", "eval"));
      raise(PyExc_ValueError, "source code string cannot contain null bytes");
    }
    if (literal::nesting_bound(src) > literal::kMaxNesting) {
      raise(PyExc_RecursionError, "cache text nested too deeply to read");
    }
    const std::string nul_terminated(src);
    literal::QuietWarnings quiet;
    py::object tree = literal::compile(source, nul_terminated, true);
    // Errors only the compiler proper finds (a repeated keyword argument,
    // 'await' outside a function) come first, as in eval: the text is
    // compiled in full when the walk met one or refused something.
    literal::Walker walker;
    py::object value;
    try {
      value = walker.run(tree);
    } catch (const py::error_already_set&) {
      if (walker.repeated_keyword()) literal::compile(source, nul_terminated, false);
      throw;
    } catch (const Refusal&) {
      literal::compile(source, nul_terminated, false);
      throw;
    }
    if (walker.repeated_keyword()) literal::compile(source, nul_terminated, false);
    return value;
  } catch (const Refusal& refused) {
    throw py::value_error("not a literal: " + refused.what);
  }
}

}  // namespace pelmora
