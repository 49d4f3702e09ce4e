#include "core/statement.h"

#include <stdexcept>

#include "core/python_literal.h"

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

namespace {

[[noreturn]] void refuse_marker(std::string_view marker, const char* why) {
  throw std::logic_error("statement marker {" + std::string(marker) + "} " + why);
}

bool is_number(py::handle value) {
  PyObject* v = value.ptr();
  return PyLong_Check(v) || PyFloat_Check(v) || numpy_item(value);
}

}  // namespace

Statement& Statement::fill(std::string_view tmpl, const Value* first, const Value* last) {
  while (!tmpl.empty()) {
    auto open = tmpl.find('{');
    if (open == std::string_view::npos) break;
    auto close = tmpl.find('}', open);
    if (close == std::string_view::npos) break;
    const std::string_view marker = tmpl.substr(open + 1, close - open - 1);
    const bool number = !marker.empty() && marker.front() == '#';
    const std::string_view name = number ? marker.substr(1) : marker;
    const Arg* value = nullptr;
    for (const Value* v = first; v != last; ++v)
      if (v->first == name) value = &v->second;
    if (!value) {
      sql(tmpl.substr(0, close + 1));
      tmpl.remove_prefix(close + 1);
      continue;
    }
    sql(tmpl.substr(0, open));
    if (number) {
      const py::handle* n = std::get_if<py::handle>(value);
      if (!n) refuse_marker(marker, "takes a number, not a text");
      if (!is_number(*n)) throw py::type_error("a number is needed for {" + std::string(marker) + "}");
      literal(*n);
    } else {
      const bool in_quotes = open > 0 && tmpl[open - 1] == '\'' && close + 1 < tmpl.size() && tmpl[close + 1] == '\'';
      if (!in_quotes) refuse_marker(marker, "is outside quotes");
      const std::string_view* text = std::get_if<std::string_view>(value);
      if (!text) refuse_marker(marker, "takes a text");
      quoted(*text);
    }
    tmpl.remove_prefix(close + 1);
  }
  return sql(tmpl);
}

Statement& Statement::literal(py::handle value) {
  write_python_literal(text_, value);
  return *this;
}

Statement& Statement::insert_rows(std::string_view opening, py::handle columns, py::handle rows,
                                  std::string_view closing) {
  sql(opening);
  const char* sep = "";
  for (py::handle column : columns) {
    sql(sep).sql(text_of(column));
    sep = ", ";
  }
  sql(") values (");
  const char* row_sep = "";
  for (py::handle values : rows) {
    sql(row_sep);
    sep = "";
    for (py::handle value : values) {
      sql(sep).literal(value);
      sep = ", ";
    }
    row_sep = "), (";
  }
  return sql(closing);
}

namespace {
std::vector<NamedTemplate>& registry() {
  static std::vector<NamedTemplate> templates;
  return templates;
}
}  // namespace

StatementTemplates::StatementTemplates(std::initializer_list<NamedTemplate> templates) {
  registry().insert(registry().end(), templates.begin(), templates.end());
}

const std::vector<NamedTemplate>& StatementTemplates::all() { return registry(); }

std::string_view statement_template(std::string_view name) {
  for (const auto& t : registry())
    if (t.name == name) return t.text;
  throw py::key_error(std::string(name));
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
