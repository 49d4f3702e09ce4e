#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "core/statement.h"

namespace pelmora {

namespace {

// fill() with the values of a dict: a str for a text marker, a number for {#name}.
py::str fill_with(std::string_view tmpl, const py::dict& values) {
  std::vector<std::string> names;
  std::vector<std::string> texts;
  names.reserve(values.size());
  texts.reserve(values.size());
  std::vector<Statement::Value> args;
  for (auto item : values) {
    const std::string_view name = names.emplace_back(text_of(item.first));
    if (py::isinstance<py::str>(item.second))
      args.emplace_back(name, std::string_view(texts.emplace_back(text_of(item.second))));
    else
      args.emplace_back(name, py::handle(item.second));
  }
  return Statement().fill(tmpl, args).str();
}

}  // namespace

void bind_statements(py::module_& m) {
  m.def(
      "_insert_text",
      [](std::string_view opening, py::handle columns, py::handle rows, std::string_view closing) {
        return Statement().insert_rows(opening, columns, rows, closing).str();
      },
      py::arg("opening"), py::arg("columns"), py::arg("rows"), py::arg("closing"),
      "The INSERT text of these rows as the uploads and the status switch build it.");
  m.def(
      "_fill", [](std::string_view tmpl, const py::kwargs& values) { return fill_with(tmpl, values); },
      py::arg("template"), "A template with its {name} markers filled, values escaped.");
  m.def(
      "_statement",
      [](std::string_view name, const py::kwargs& values) {
        return fill_with(statement_template(name), values);
      },
      py::arg("name"), "The library's statement of that name, its markers filled as the library fills them.");
  m.def(
      "_statement_names",
      [] {
        py::list names;
        for (const auto& t : StatementTemplates::all()) names.append(py::str(t.name.data(), t.name.size()));
        return names;
      },
      "Names of the library's statement templates.");
}

}  // namespace pelmora
