// Statement building: literal pieces joined with inserted values. A value that
// sits between the single quotes a piece carries is escaped, so a quote in an
// account id or key cannot end the literal early; ordinary values come out
// exactly as they would verbatim.
#pragma once
#include <pybind11/pybind11.h>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pelmora {
namespace py = pybind11;

// Backslash doubled, single quote preceded by a backslash.
std::string escape_quoted(std::string_view value);

// UTF-8 of a str; any other type fails the way joining it to a str would.
std::string text_of(py::handle value);

class Statement {
 public:
  Statement& sql(std::string_view piece) {
    text_.append(piece);
    return *this;
  }
  // A value inside quotes carried by the neighbouring pieces.
  Statement& quoted(std::string_view value) {
    text_.append(escape_quoted(value));
    return *this;
  }
  Statement& quoted(py::handle value) { return quoted(text_of(value)); }

  // Appends a template with its markers filled: '{name}' sits between single
  // quotes and takes a text, escaped; {#name} takes a number, written by the
  // literal writer. A text marker outside quotes, or a value of the other
  // kind, is refused (std::logic_error): escaping keeps a value inside a
  // literal only where there is one. Markers without a value stay as they are.
  using Arg = std::variant<std::string_view, py::handle>;
  using Value = std::pair<std::string_view, Arg>;
  Statement& fill(std::string_view tmpl, std::initializer_list<Value> values) {
    return fill(tmpl, values.begin(), values.end());
  }
  Statement& fill(std::string_view tmpl, const std::vector<Value>& values) {
    return fill(tmpl, values.data(), values.data() + values.size());
  }
  Statement& fill(std::string_view tmpl, const Value* first, const Value* last);

  // A value in its Python literal form (core/python_literal.h).
  Statement& literal(py::handle value);

  // opening + "a, b, c" + ") values (" + each row's literals joined by ", ",
  // the rows joined by "), (" + closing: one INSERT statement for all rows,
  // which the store applies as one block (all rows or none).
  Statement& insert_rows(std::string_view opening, py::handle columns, py::handle rows,
                         std::string_view closing);
  // The same for a single row.
  Statement& insert_row(std::string_view opening, py::handle columns, py::handle values,
                        std::string_view closing) {
    return insert_rows(opening, columns, py::make_tuple(values), closing);
  }

  const std::string& text() const { return text_; }
  py::str str() const { return py::str(text_); }

 private:
  std::string text_;
};

// Every statement template of the library by name, so tests run the library's
// own texts (the private `_statement` helper). Each area registers its
// templates with a file-scope StatementTemplates object.
struct NamedTemplate {
  std::string_view name;
  std::string_view text;
};
class StatementTemplates {
 public:
  StatementTemplates(std::initializer_list<NamedTemplate> templates);
  static const std::vector<NamedTemplate>& all();
};
// The template registered under this name; throws KeyError when none is.
std::string_view statement_template(std::string_view name);

}  // namespace pelmora
