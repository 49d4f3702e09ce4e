// Text columns: each value replaced by str() of what the table holds for it,
// after the column's dtype inference (so a missing value reads "None",
// "nan" or "NaT" depending on the column).
#pragma once
#include "core/py_ref.h"
#include "records/column_type.h"
#include "records/temporal.h"

namespace pelmora::records {

class TextMaker {
 public:
  explicit TextMaker(InferredColumn type);
  py::object text(PyObject* value);

 private:
  py::object make(PyObject* value);

  InferredColumn type_;
  py::object nan_;  // missing value of float and text columns
  py::object nat_;  // missing value of date-time and duration columns
  DayCache day_texts_;
};

}  // namespace pelmora::records
