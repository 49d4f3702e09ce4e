#include "core/records_temporal.h"

#include <datetime.h>

#include <cstdio>
#include <limits>
#include <string_view>

namespace pelmora::records {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kMicrosPerDay = 86400 * kMicrosPerSecond;
// Object cells go through int64 nanoseconds: beyond this many microseconds
// from the epoch the encoder overflows.
constexpr int64_t kNanoRangeMicros = std::numeric_limits<int64_t>::max() / 1000;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t date_micros(PyObject* date) {
  return days_from_civil(PyDateTime_GET_YEAR(date), PyDateTime_GET_MONTH(date),
                         PyDateTime_GET_DAY(date)) *
         kMicrosPerDay;
}

int64_t clock_micros(PyObject* datetime) {
  const int64_t seconds = (PyDateTime_DATE_GET_HOUR(datetime) * 60 +
                           PyDateTime_DATE_GET_MINUTE(datetime)) * 60 +
                          PyDateTime_DATE_GET_SECOND(datetime);
  return seconds * kMicrosPerSecond + PyDateTime_DATE_GET_MICROSECOND(datetime);
}

// Offsets and other small durations: no overflow possible.
int64_t small_delta_micros(PyObject* delta) {
  return PyDateTime_DELTA_GET_DAYS(delta) * kMicrosPerDay +
         PyDateTime_DELTA_GET_SECONDS(delta) * kMicrosPerSecond +
         PyDateTime_DELTA_GET_MICROSECONDS(delta);
}

// utcoffset() of a zoned date-time, or null when the zone gives none.
py::object utc_offset(PyObject* datetime) {
  py::object offset = checked(PyObject_CallMethod(datetime, "utcoffset", nullptr));
  if (offset.ptr() == Py_None) return py::object();
  if (!PyDelta_Check(offset.ptr())) raise(PyExc_TypeError, "utcoffset() must return a timedelta");
  return offset;
}

bool is_utc(PyObject* zone) {
  if (zone == PyDateTime_TimeZone_UTC) return true;
  // zoneinfo's "UTC" zone counts as UTC too.
  if (std::string_view(Py_TYPE(zone)->tp_name) != "zoneinfo.ZoneInfo") return false;
  py::object key = stolen(PyObject_GetAttrString(zone, "key"));
  if (!key) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_Check(key.ptr()) && PyUnicode_CompareWithASCIIString(key.ptr(), "UTC") == 0;
}

py::object object_epoch(PyObject* value, TimeType type) {
  int64_t micros = date_micros(value);
  if (type == TimeType::Datetime) {
    micros += clock_micros(value);
    if (zone_of(value) != nullptr) {
      // The encoder moves to UTC by whole seconds of the offset.
      if (py::object offset = utc_offset(value)) {
        const int64_t seconds = small_delta_micros(offset.ptr()) / kMicrosPerSecond;
        micros -= seconds * kMicrosPerSecond;
      }
    }
  }
  if (micros > kNanoRangeMicros || micros < -kNanoRangeMicros) {
    raise(PyExc_OverflowError, "date or datetime value out of the nanosecond range");
  }
  return checked(PyLong_FromLongLong(micros / 1000));
}

py::object object_delta(PyObject* value) {
  py::object total = checked(PyObject_CallMethod(value, "total_seconds", nullptr));
  const double seconds = PyFloat_AsDouble(total.ptr());
  if (seconds == -1.0 && PyErr_Occurred()) throw_pending();
  // Nanoseconds as a truncated int64; a value outside int64 lands on the
  // missing-time marker and comes out as null.
  const double nanos = seconds * 1e9;
  constexpr double kLimit = 9223372036854775808.0;
  if (!(nanos >= -kLimit && nanos < kLimit)) return borrowed(Py_None);
  const auto whole = static_cast<int64_t>(nanos);
  if (whole == std::numeric_limits<int64_t>::min()) return borrowed(Py_None);
  return checked(PyLong_FromLongLong(whole / 1000000));
}

}  // namespace

void temporal_init() {
  if (PyDateTimeAPI == nullptr) {
    PyDateTime_IMPORT;
    if (PyDateTimeAPI == nullptr) throw_pending();
  }
}

TimeType time_type(PyObject* value) {
  // Exact types first: a subclass test walks the type's bases.
  if (PyDateTime_CheckExact(value)) return TimeType::Datetime;
  if (PyDate_CheckExact(value)) return TimeType::Date;
  if (PyDateTime_Check(value)) return TimeType::Datetime;
  if (PyDate_Check(value)) return TimeType::Date;
  if (PyDelta_Check(value)) return TimeType::Delta;
  if (PyTime_Check(value)) return TimeType::Time;
  return TimeType::None;
}

bool is_exact_date(PyObject* value) { return PyDate_CheckExact(value); }

bool is_datetime(PyObject* value) { return PyDateTime_Check(value); }

bool is_delta(PyObject* value) { return PyDelta_Check(value); }

PyObject* zone_of(PyObject* datetime) {
  PyObject* zone = PyDateTime_DATE_GET_TZINFO(datetime);
  return zone == Py_None ? nullptr : zone;
}

bool same_zone(PyObject* a, PyObject* b) {
  if (a == b) return true;
  if (is_utc(a) || is_utc(b)) return is_utc(a) && is_utc(b);
  const int equal = PyObject_RichCompareBool(a, b, Py_EQ);
  if (equal < 0) throw_pending();
  return equal == 1;
}

int64_t naive_micros(PyObject* datetime) { return date_micros(datetime) + clock_micros(datetime); }

int64_t utc_micros(PyObject* datetime) {
  int64_t micros = naive_micros(datetime);
  if (py::object offset = utc_offset(datetime)) micros -= small_delta_micros(offset.ptr());
  return micros;
}

bool delta_micros(PyObject* delta, int64_t* out) {
  const __int128 micros = static_cast<__int128>(PyDateTime_DELTA_GET_DAYS(delta)) * kMicrosPerDay +
                          static_cast<__int128>(PyDateTime_DELTA_GET_SECONDS(delta)) * kMicrosPerSecond +
                          PyDateTime_DELTA_GET_MICROSECONDS(delta);
  if (micros > std::numeric_limits<int64_t>::max() || micros < std::numeric_limits<int64_t>::min()) {
    return false;
  }
  *out = static_cast<int64_t>(micros);
  return true;
}

py::object object_temporal(PyObject* value, TimeType type) {
  switch (type) {
    case TimeType::Date:
    case TimeType::Datetime:
      return object_epoch(value, type);
    case TimeType::Delta:
      return object_delta(value);
    case TimeType::Time:
      return checked(PyObject_CallMethod(value, "isoformat", nullptr));
    case TimeType::None:
      break;
  }
  raise(PyExc_TypeError, "not a date, time or duration");
}

py::object delta_text(PyObject* delta) {
  const int days = PyDateTime_DELTA_GET_DAYS(delta);
  const int seconds = PyDateTime_DELTA_GET_SECONDS(delta);
  const int micros = PyDateTime_DELTA_GET_MICROSECONDS(delta);
  char text[64];
  int n = std::snprintf(text, sizeof text, "%d days%s%02d:%02d:%02d", days, days < 0 ? " +" : " ",
                        seconds / 3600, seconds / 60 % 60, seconds % 60);
  if (micros != 0) std::snprintf(text + n, sizeof text - n, ".%06d", micros);
  return checked(PyUnicode_FromString(text));
}

py::object zoned_text(PyObject* datetime, PyObject* zone) {
  py::object shown = checked(PyObject_CallMethod(datetime, "astimezone", "O", zone));
  return checked(PyObject_Str(shown.ptr()));
}

int32_t DayCache::day_key(PyObject* date) {
  return (PyDateTime_GET_YEAR(date) << 9) | (PyDateTime_GET_MONTH(date) << 5) | PyDateTime_GET_DAY(date);
}

}  // namespace pelmora::records
