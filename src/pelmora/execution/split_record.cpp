#include "execution/split_record.h"

#include "core/clock.h"
#include "core/python_literal.h"

namespace pelmora::execution {

namespace {

using namespace pybind11::literals;

constexpr const char* kOverrideHash = "split_mode";

// Microseconds since the epoch of a local date-time, exactly: the whole
// seconds through the machine's local conversion, the fraction as an integer.
py::object epoch_micros(py::handle when) {
  py::object whole = when.attr("replace")("microsecond"_a = 0).attr("timestamp")();
  return py::int_(whole) * py::int_(1000000) + when.attr("microsecond");
}

// In force while now is strictly before ts + hours x 3600 s. Counted in
// whole microseconds, so a record ending exactly now has ended, whatever
// rounding seconds as floats would bring.
bool in_force(py::handle ts, py::handle hours, py::handle now) {
  // 0 + hours x 3600: a number, or the TypeError Python's sum raises for
  // a text or None.
  py::object span = py::int_(0) + hours * py::int_(3600);
  py::object elapsed = epoch_micros(now) - epoch_micros(ts);
  return elapsed < span * py::int_(1000000);
}

}  // namespace

py::object active_override(py::handle self) {
  py::object stored = self.attr("redis_conn").attr("hgetall")(kOverrideHash);
  py::object account = self.attr("account_id");
  if (!stored.contains(account)) return py::none();
  // Written by the switch, but any client of the cache can write the hash:
  // read as a literal, never run.
  py::object record = read_python_literal(stored[account]);
  py::object now = local_now();
  py::object ts = record["ts"];
  py::object hours = record["effective_hour"];
  return in_force(ts, hours, now) ? record : py::none();
}

void write_override(py::handle self, py::handle ts, py::handle hours, py::handle mode) {
  py::dict record;
  record["ts"] = ts;
  record["effective_hour"] = hours;
  record["split_mode"] = mode;
  self.attr("redis_conn").attr("hset")(kOverrideHash, self.attr("account_id"), py::repr(record));
}

}  // namespace pelmora::execution
