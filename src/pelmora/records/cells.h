// One column's cells as the records hold them, by the column's inferred type.
#pragma once
#include <array>
#include <memory>
#include <optional>

#include "core/py_ref.h"
#include "records/column_type.h"
#include "records/object.h"
#include "records/text.h"

namespace pelmora::records {

class CellWriter {
 public:
  // `text`: a text column, its cells replaced by their str() form first.
  CellWriter(InferredColumn type, bool text, ObjectEncoder* objects);

  py::object operator()(PyObject* value);

 private:
  // Float cells already rendered, by the input object: equal values often
  // share one object, and the inputs outlive the writer.
  struct Rendered {
    PyObject* input = nullptr;
    py::object output;
  };
  py::object rendered_float(PyObject* value);

  InferredColumn type_;
  std::optional<TextMaker> text_;
  ObjectEncoder* objects_;
  std::unique_ptr<std::array<Rendered, 1024>> floats_;
};

}  // namespace pelmora::records
