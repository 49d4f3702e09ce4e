// Switching the account to a selectable split mode for some hours, and back
// to its standing parameters: each switch is logged in the store and
// recorded in the cache.
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/guard.h"
#include "core/py_ref.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"
#include "execution/execution.h"
#include "execution/split_queries.h"
#include "execution/split_record.h"

namespace pelmora::execution {

namespace {

constexpr std::string_view kNotGiven = "mode, effective_hour 不能为空";
constexpr std::string_view kOutOfRange = "effective_hour 范围 0-24 ";


// The hours as the plain int or float they hold. The record is read back as
// a literal, and a numpy scalar's or a Decimal's repr is none: written as
// they are, they would leave the account with a record no query can read.
py::object plain_hours(py::handle hours) {
  py::object h = py::reinterpret_borrow<py::object>(hours);
  if (!PyLong_Check(h.ptr()) && !PyFloat_Check(h.ptr()) && py::hasattr(h, "item")) h = h.attr("item")();
  // int() and float() give the exact types also for subclasses (bool, numpy.float64)
  if (PyLong_Check(h.ptr())) return checked(PyNumber_Long(h.ptr()));
  return checked(PyNumber_Float(h.ptr()));
}

// Whether the mode is one of the selectable modes in the store.
bool selectable(py::handle self, const std::string& mode) {
  Statement check;
  check.fill(kModeCheckQuery, {{"mode", mode}});
  py::object found = self.attr("client").attr("query")(check.str());
  py::object column = py::list(found.attr("column_names")).attr("index")("n");
  py::object count = found.attr("result_set")[py::int_(0)][column];
  return !count.equal(py::int_(0));
}

// The steps a switch and a reset share: the ping, then one clock reading
// for both the log row (whole seconds) and the record (with microseconds).
// Gives the reading's "%Y-%m-%d %H:%M:%S" text, or None when the cache does
// not answer (nothing written then).
py::object log_and_record(py::handle self, const std::string& mode, const py::object& hours) {
  if (!stores::cache_answers(self.attr("redis_conn"))) return py::none();
  py::object now = local_now();
  py::str at = now.attr("strftime")("%Y-%m-%d %H:%M:%S");
  Statement log;
  log.fill(kChangeLogInsert, {{"account", text_of(self.attr("account_id"))},
                              {"mode", mode},
                              {"ts", text_of(at)},
                              {"hours", hours}});
  self.attr("client").attr("command")(log.str());
  write_override(self, now, hours, py::str(mode));
  return std::move(at);
}

}  // namespace

py::dict fun_set_split_mode(py::object self, py::object mode, py::object effective_hour) {
  if (!usable(self)) return init_failed();
  if (mode.equal(py::str("")) || effective_hour.equal(py::int_(-1))) return result(2, kNotGiven);
  // Strictly between 0 and 24; written as "not inside" so NaN is refused too.
  if (!(effective_hour > py::int_(0)) || !(effective_hour < py::int_(24))) return result(2, kOutOfRange);
  return guarded(
      [&]() -> py::dict {
        const std::string mode_id = text_of(mode);
        if (!selectable(self, mode_id)) return result(2, "mode " + mode_id + " 不在可选项目中");
        py::object hours = plain_hours(effective_hour);
        py::object at = log_and_record(self, mode_id, hours);
        if (at.is_none()) return result(1, kPingFalse);
        return result(0, "success. start_time: " + text_of(at) + ", effective_hour: " +
                             std::string(py::str(hours)) + ", split_mode: " + mode_id + " ");
      },
      failure);
}

py::dict fun_back_to_default_split_mode(py::object self) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        // A reset record: -1 hours, never in force.
        py::object at = log_and_record(self, "default", py::int_(-1));
        if (at.is_none()) return result(1, kPingFalse);
        return result(0, "success");
      },
      failure);
}

}  // namespace pelmora::execution
