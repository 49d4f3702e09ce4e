// Floats as the table library's JSON encoder writes them (double_precision
// 10) and the JSON parser reads them back:
//  - |v| > 1e16, or 0 < |v| < 1e-15: printf "%.10g", ten significant digits
//    (so the largest doubles come back as infinity);
//  - otherwise fixed notation: the integer part, then the fraction times
//    1e10 in double arithmetic, truncated and rounded up when the rest is
//    above 0.5, or exactly 0.5 with an odd or zero digit string; a carry
//    moves into the integer part; trailing zeros dropped ("3.0" at least);
//  - -0.0 is written "0.0", a negative that rounds to zero "-0.0".
// NaN and infinities are written null; callers handle them.
#pragma once
#include "core/py_ref.h"

namespace pelmora::records {

// The double read back from the encoder's text for a finite `value`.
double json_float(double value);

// Same, as an object; `original` (a float holding `value`, or null) is reused
// when the rendering does not change the value.
py::object json_float_object(double value, PyObject* original);

}  // namespace pelmora::records
