// Signals: upload of a day's target positions (signal table, signal hash),
// replication to the copy account, read and delete.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::signals {
namespace py = pybind11;

py::object fun_update_signal(py::object self, py::object input_data, py::object use_redis,
                             py::object continuous_holding, py::object simple);
py::object fun_replicate_save(py::object self, py::object tmp_mat, py::object continuous_holding);
py::dict fun_read_signal(py::object self, py::object start_date, py::object end_date, py::object clean);
py::dict fun_delete_signal(py::object self, py::object trading_day, py::object order_typ,
                           py::object trade_time, py::object contract);

// The account replicates to a copy account: anything but False itself in if_copy.
inline bool copy_paired(py::handle self) { return self.attr("if_copy").ptr() != Py_False; }

}  // namespace pelmora::signals
