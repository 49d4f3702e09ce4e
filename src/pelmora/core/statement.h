// Statement building: literal pieces joined with inserted values. A value that
// sits between the single quotes a piece carries is escaped, so a quote in an
// account id or key cannot end the literal early; ordinary values come out
// exactly as they would verbatim.
#pragma once
#include <pybind11/pybind11.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <string_view>

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

  // Appends a template whose {name} markers sit between quotes and take
  // the named values, escaped. Markers without a value stay as they are.
  Statement& fill(std::string_view tmpl,
                  std::initializer_list<std::pair<std::string_view, std::string_view>> values);

  // A value in its host literal form (core/host_literal.h).
  Statement& literal(py::handle value);

  // opening + "a, b, c" + ") values (" + literals joined by ", " + closing:
  // one INSERT statement for one row.
  Statement& insert_row(std::string_view opening, py::handle columns, py::handle values,
                        std::string_view closing);

  const std::string& text() const { return text_; }
  py::str str() const { return py::str(text_); }

 private:
  std::string text_;
};

}  // namespace pelmora
