#include "records/build.h"

#include "records/column_type.h"
#include "records/input.h"
#include "records/temporal.h"
#include "records/writer.h"

namespace pelmora::records {

py::list build(py::handle result_set, py::handle column_names, const std::vector<std::string>& text_columns) {
  temporal_init();
  const Columns columns = read_columns(column_names.ptr());
  const auto width = static_cast<Py_ssize_t>(columns.keys.size());
  const std::vector<py::object> rows = read_rows(result_set.ptr(), width);
  const std::vector<bool> is_text = text_flags(columns, text_columns);
  require_unique(columns);
  // A table without columns encodes as no records at all.
  if (rows.empty() || width == 0) return py::list();

  RecordWriter writer(columns, infer_columns(rows, width), is_text);
  return writer.write(rows.size(), [&rows](size_t r, size_t c) {
    return PyTuple_GET_ITEM(rows[r].ptr(), static_cast<Py_ssize_t>(c));
  });
}

}  // namespace pelmora::records
