// The account object's own members: construction, connections, login, copy
// lookup, the platform probe, the MySQL query and the small utilities.
#pragma once
#include <pybind11/pybind11.h>

namespace pelmora::account {
namespace py = pybind11;

// C++ side of a Pelmora object: all state lives in instance attributes.
struct Account {};

void construct(py::object self, py::object account_id, py::object acquire_key, py::object user_id,
               py::object env);

py::object fun_clickhouse_connect(py::object self);
py::object fun_login(py::object self);
py::object fun_check_replicate(py::object self);

bool risk_platform_connected(py::object self);
py::object mysql_248(py::object sql);

py::str unix_to_datetime(py::object unix_timestamp);
py::object contract_format(py::object self);

// MyClass: the timeout runner.
struct TimeoutRunner {};
py::str my_task(py::object self);
py::object run_with_timeout(py::object self);

}  // namespace pelmora::account
