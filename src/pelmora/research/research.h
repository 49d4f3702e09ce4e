// Research data: the daily factor tables of the research store and the
// post-trade profit breakdown of an account.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::research {
namespace py = pybind11;

// Static: every factor of the kind over the days, as a DataFrame.
py::dict factors_value(py::object typ, py::object start_date, py::object end_date);
// Static: the same, restricted to the desk's ten-factor list.
py::dict factors_value_vesk(py::object typ, py::object start_date, py::object end_date);

py::dict post_trade_analysis(py::object self, py::object start_date, py::object end_date, py::object typ);

}  // namespace pelmora::research
