#include "account/account.h"
#include "core/python.h"
#include "core/stores.h"

namespace pelmora::account {

using namespace pybind11::literals;

py::object mysql_248(py::object sql) {
  stores::Closing conn(stores::open_mysql());
  stores::Closing cursor(conn.get().attr("cursor")());
  cursor.get().attr("execute")(sql);
  py::list columns;
  for (py::handle entry : cursor.get().attr("description")) columns.append(entry[py::int_(0)]);
  py::list rows(cursor.get().attr("fetchall")());
  return module_attr("pd").attr("DataFrame")(rows, "columns"_a = columns);
}

}  // namespace pelmora::account
