#include "core/statement.h"

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

Statement& Statement::fill(std::string_view tmpl, const Value* first, const Value* last) {
  while (!tmpl.empty()) {
    auto open = tmpl.find('{');
    if (open == std::string_view::npos) break;
    auto close = tmpl.find('}', open);
    if (close == std::string_view::npos) break;
    auto name = tmpl.substr(open + 1, close - open - 1);
    const std::string_view* value = nullptr;
    for (const Value* v = first; v != last; ++v)
      if (v->first == name) value = &v->second;
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
  write_python_literal(text_, value);
  return *this;
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
