// One column's cells as the records hold them, by the column's inferred type.
#pragma once
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
  InferredColumn type_;
  std::optional<TextMaker> text_;
  ObjectEncoder* objects_;
};

}  // namespace pelmora::records
