// Dates, times and durations: type tests, epoch numbers and text forms as
// the table library produces them. The only file that uses the datetime C API.
#pragma once
#include <cstdint>
#include <unordered_map>

#include "core/py_ref.h"

namespace pelmora::records {

enum class TimeType : uint8_t { None, Date, Datetime, Time, Delta };

// Loads the datetime C API; call before any other function here.
void temporal_init();

TimeType time_type(PyObject* value);

// Borrowed tzinfo of a datetime, or null for a naive one.
PyObject* zone_of(PyObject* datetime);

// Whether two zones count as one for a zoned date-time column: every UTC
// zone is the same zone, others compare by identity or equality.
bool same_zone(PyObject* a, PyObject* b);

// Microseconds since the epoch of a date-time column value: the naive
// fields as they are, or the UTC instant of a zoned value.
int64_t naive_micros(PyObject* datetime);
int64_t utc_micros(PyObject* datetime);

// Microseconds of a duration; false when outside int64.
bool delta_micros(PyObject* delta, int64_t* out);

// Date-time and duration columns are rendered in milliseconds, rounded down.
inline int64_t floor_millis(int64_t micros) {
  int64_t q = micros / 1000;
  if (micros % 1000 < 0) --q;
  return q;
}

// A date, date-time, time or duration inside an object column, as the
// encoder writes it: epoch milliseconds through nanoseconds (an
// OverflowError outside that range), a duration from its total seconds, a
// time as its ISO text.
py::object object_temporal(PyObject* value, TimeType type);

// Text of a duration column value: "D days HH:MM:SS[.ffffff]", negatives as
// "-1 days +23:59:59.998500".
py::object delta_text(PyObject* delta);

// Text of a zoned date-time column value: the instant shown in the column's zone.
py::object zoned_text(PyObject* datetime, PyObject* zone);

// Per-day cache of one conversion of exact `date` values (text or epoch
// number): a day column holds few distinct days.
class DayCache {
 public:
  // New reference to the cached result for `date`, made by `make` on a miss.
  template <typename Make>
  py::object get(PyObject* date, Make&& make) {
    const int32_t key = day_key(date);
    if (last_ != nullptr && key == last_key_) return borrowed(last_);
    auto it = map_.find(key);
    if (it == map_.end()) it = map_.emplace(key, make(date)).first;
    last_key_ = key;
    last_ = it->second.ptr();
    return borrowed(last_);
  }

 private:
  static int32_t day_key(PyObject* date);
  std::unordered_map<int32_t, py::object> map_;
  int32_t last_key_ = 0;
  PyObject* last_ = nullptr;
};

// Values as clickhouse-connect makes them from Native columns: a date from
// days since the epoch (ValueError outside years 1-9999); a date-time from
// epoch seconds and microseconds, with the UTC fields (naive for a null
// zone), or shown in `zone` (datetime.fromtimestamp, then the microseconds).
py::object date_from_days(int64_t days);
py::object utc_fields_datetime(int64_t seconds, int64_t micros, PyObject* zone);
py::object zoned_datetime(int64_t seconds, int64_t micros, PyObject* zone);

// Whether `value` is exactly a `datetime.date` (not a subclass).
bool is_exact_date(PyObject* value);
bool is_datetime(PyObject* value);
bool is_delta(PyObject* value);

}  // namespace pelmora::records
