// Cells of object columns (mixed or unrecognised types) as the table
// library's JSON encoder writes them and json.loads reads them back.
#pragma once
#include "core/py_ref.h"
#include "records/temporal.h"

namespace pelmora::records {

// A text as it survives the JSON round trip: the same characters as an exact
// str; a UnicodeEncodeError for lone surrogates, which UTF-8 cannot hold.
py::object json_str(PyObject* text);

class ObjectEncoder {
 public:
  // `decimal_type`: decimal.Decimal as currently imported (borrowed).
  explicit ObjectEncoder(PyObject* decimal_type) : decimal_type_(decimal_type) {}

  // None, bools, ints and texts as they are; floats through the 10-decimal
  // rendering (NaN and infinities as None); Decimal as its fixed-point text;
  // dates and date-times as epoch milliseconds, durations likewise, times as
  // ISO text; bytes decoded as UTF-8; lists, tuples and sets as lists; dicts
  // with text keys; any other object as a dict of its public non-callable
  // attributes (or of its toDict()).
  py::object encode(PyObject* value) { return encode_at(value, 0); }

 private:
  py::object encode_at(PyObject* value, int depth);
  py::object encode_scalar(PyObject* value);
  py::object encode_decimal(PyObject* value);
  py::object encode_items(PyObject* iterable, int depth);
  py::object encode_dict(PyObject* dict, int depth);
  py::object encode_attributes(PyObject* value, int depth);

  PyObject* decimal_type_;
  DayCache day_epochs_;
};

}  // namespace pelmora::records
