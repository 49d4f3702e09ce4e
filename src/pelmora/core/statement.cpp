#include "core/statement.h"

#include <memory>

namespace pelmora {

std::string escape_quoted(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\\' || c == '\'') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

Statement& Statement::fill(
    std::string_view tmpl, std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  while (!tmpl.empty()) {
    auto open = tmpl.find('{');
    if (open == std::string_view::npos) break;
    auto close = tmpl.find('}', open);
    if (close == std::string_view::npos) break;
    auto name = tmpl.substr(open + 1, close - open - 1);
    const std::string_view* value = nullptr;
    for (const auto& [key, v] : values)
      if (key == name) value = &v;
    if (value) {
      sql(tmpl.substr(0, open));
      quoted(*value);
    } else {
      sql(tmpl.substr(0, close + 1));
    }
    tmpl.remove_prefix(close + 1);
  }
  return sql(tmpl);
}

Statement& Statement::literal(py::handle value) {
  PyObject* v = value.ptr();
  if (PyUnicode_Check(v)) return sql("'").quoted(text_of(value)).sql("'");
  if (PyBool_Check(v)) return sql(v == Py_True ? "True" : "False");
  if (PyLong_Check(v)) return sql(py::str(value).cast<std::string>());
  if (PyFloat_Check(v)) {
    // float's own repr, also for subclasses such as numpy.float64 whose repr
    // would name the type
    const double d = PyFloat_AsDouble(v);
    std::unique_ptr<char, decltype(&PyMem_Free)> text(
        PyOS_double_to_string(d, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr), &PyMem_Free);
    if (!text) throw py::error_already_set();
    return sql(text.get());
  }
  if (py::hasattr(value, "dtype") && py::hasattr(value, "item")) {
    py::object plain = value.attr("item")();
    if (!plain.is(value) && !py::hasattr(plain, "dtype")) return literal(plain);
  }
  return sql(py::repr(value).cast<std::string>());
}

Statement& Statement::insert_row(std::string_view opening, py::handle columns, py::handle values,
                                 std::string_view closing) {
  sql(opening);
  const char* sep = "";
  for (py::handle column : columns) {
    sql(sep).sql(text_of(column));
    sep = ", ";
  }
  sql(") values (");
  sep = "";
  for (py::handle value : values) {
    sql(sep).literal(value);
    sep = ", ";
  }
  return sql(closing);
}

std::string text_of(py::handle value) {
  if (!py::isinstance<py::str>(value)) {
    throw py::type_error("can only concatenate str (not \"" +
                         std::string(py::str(py::type::handle_of(value).attr("__name__"))) +
                         "\") to str");
  }
  return value.cast<std::string>();
}

}  // namespace pelmora
