#include "records/temporal.h"

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

// Year, month and day of a count of days since 1970-01-01.
void civil_from_days(int64_t days, int64_t* y, unsigned* m, unsigned* d) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

int64_t floor_div(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
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
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMaxDays = kMax / kMicrosPerDay;
  const int64_t days = PyDateTime_DELTA_GET_DAYS(delta);
  const int64_t rest = PyDateTime_DELTA_GET_SECONDS(delta) * kMicrosPerSecond +
                       PyDateTime_DELTA_GET_MICROSECONDS(delta);  // [0, one day)
  if (days > kMaxDays || days < -kMaxDays - 1) return false;
  // Whole days and the rest, each inside int64, then one checked sum; a
  // negative day count borrows one day so its product stays in range.
  const int64_t base = days < 0 ? (days + 1) * kMicrosPerDay : days * kMicrosPerDay;
  const int64_t add = days < 0 ? rest - kMicrosPerDay : rest;
  if ((add > 0 && base > kMax - add) || (add < 0 && base < kMin - add)) return false;
  *out = base + add;
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

namespace pelmora::records {

py::object date_from_days(int64_t days) {
  // The range clickhouse-connect accepts, with its message.
  if (days < -719162 || days > 2932896) {
    PyErr_Format(PyExc_ValueError, "day %lld is outside the date range 0001-01-01 to 9999-12-31",
                 static_cast<long long>(days));
    throw_pending();
  }
  int64_t y;
  unsigned m, d;
  civil_from_days(days, &y, &m, &d);
  return checked(PyDate_FromDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)));
}

py::object utc_fields_datetime(int64_t seconds, int64_t micros, PyObject* zone) {
  const int64_t days = floor_div(seconds, 86400);
  const int64_t in_day = seconds - days * 86400;
  int64_t y = 0;
  unsigned m = 1, d = 1;
  // Outside Python's years the constructor refuses, as it does there.
  if (days >= -800000 && days <= 3000000) civil_from_days(days, &y, &m, &d);
  if (y < 1 || y > 9999) {
    PyErr_Format(PyExc_ValueError, "year %lld is out of range", static_cast<long long>(y));
    throw_pending();
  }
  return checked(PyDateTimeAPI->DateTime_FromDateAndTime(
      static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), static_cast<int>(in_day / 3600),
      static_cast<int>(in_day / 60 % 60), static_cast<int>(in_day % 60), static_cast<int>(micros),
      zone == nullptr ? Py_None : zone, PyDateTimeAPI->DateTimeType));
}

py::object zoned_datetime(int64_t seconds, int64_t micros, PyObject* zone) {
  py::object type = borrowed(reinterpret_cast<PyObject*>(PyDateTimeAPI->DateTimeType));
  py::object value = checked(PyObject_CallMethod(type.ptr(), "fromtimestamp", "LO",
                                                 static_cast<long long>(seconds), zone));
  if (micros == 0) return value;
  py::object replace = checked(PyObject_GetAttrString(value.ptr(), "replace"));
  py::object args = checked(PyTuple_New(0));
  py::object kwargs = checked(Py_BuildValue("{s:L}", "microsecond", static_cast<long long>(micros)));
  return checked(PyObject_Call(replace.ptr(), args.ptr(), kwargs.ptr()));
}

}  // namespace pelmora::records
