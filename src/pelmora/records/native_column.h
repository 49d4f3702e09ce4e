// One column of a Native block turned into the values clickhouse-connect's
// query gives for it (ints, floats, texts, bools, Decimal, bytes, UUID,
// dates and date-times, None for NULL), so the rows are built from them by
// the same rules as from a query result.
#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/py_ref.h"
#include "records/native_reader.h"
#include "records/native_type.h"
#include "records/value_cache.h"

namespace pelmora::records {

// How a date-time column's values are shown: naive UTC, or in a zone.
struct TimeZoneRule {
  py::object zone;             // null: naive UTC fields
  bool utc_equivalent = false;  // fields of the UTC instant, zone attached
};

class NativeColumn {
 public:
  // `zone` decides the date-times' zone; only text columns show it (the
  // epoch numbers are the same in every zone), so others pass a naive rule.
  NativeColumn(NativeType type, TimeZoneRule zone);

  // Appends `rows` values read from `in` to `out`.
  void read(NativeReader& in, uint64_t rows, std::vector<py::object>& out);

 private:
  void read_low_cardinality(NativeReader& in, uint64_t rows, std::vector<py::object>& out);
  void read_values(NativeReader& in, uint64_t rows, std::vector<py::object>& out);
  py::object value(const char* at, uint32_t size);
  py::object text(std::string_view bytes);
  py::object fixed_bytes(std::string_view bytes);
  py::object date(int64_t days);
  py::object date_time(int64_t seconds, int64_t micros);
  py::object decimal(int64_t unscaled);
  py::object uuid(const char* at);

  NativeType type_;
  TimeZoneRule zone_;
  // Repeats of a value share one object.
  std::unique_ptr<BitsCache<>> numbers_;
  std::unique_ptr<TextCache<>> texts_;
  py::object decimal_type_, uuid_type_, safe_unsafe_;
  std::unordered_map<int, py::object> labels_;  // Enum: label text by value
};

}  // namespace pelmora::records
