// Floats as the table library's JSON encoder writes them (10 decimals) and
// the JSON parser reads them back.
#pragma once
#include "core/py_ref.h"

namespace pelmora::records {

// The double read back from the encoder's text for a finite `value`.
double json_float(double value);

// Same, as an object; `original` (a float holding `value`, or null) is reused
// when the rendering does not change the value.
Ref json_float_object(double value, PyObject* original);

}  // namespace pelmora::records
