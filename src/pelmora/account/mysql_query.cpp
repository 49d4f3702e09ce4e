#include "account/account.h"
#include "account/endpoints.h"
#include "core/host.h"

namespace pelmora::account {

using namespace pybind11::literals;

namespace {
// Closes a cursor or connection when the call ends, also on error, so no
// session is left open on the server between calls.
class Closing {
 public:
  explicit Closing(py::object obj) : obj_(std::move(obj)) {}
  Closing(const Closing&) = delete;
  Closing& operator=(const Closing&) = delete;
  ~Closing() {
    try {
      obj_.attr("close")();
    } catch (py::error_already_set& e) {
      // A failing close must not hide the call's own outcome.
      e.discard_as_unraisable("closing a MySQL handle");
    }
  }
  const py::object& get() const { return obj_; }

 private:
  py::object obj_;
};
}  // namespace

py::object mysql_248(py::object sql) {
  Closing conn(open_mysql());
  Closing cursor(conn.get().attr("cursor")());
  cursor.get().attr("execute")(sql);
  py::list columns;
  for (py::handle entry : cursor.get().attr("description")) columns.append(entry[py::int_(0)]);
  py::list rows(cursor.get().attr("fetchall")());
  return module_attr("pd").attr("DataFrame")(rows, "columns"_a = columns);
}

}  // namespace pelmora::account
