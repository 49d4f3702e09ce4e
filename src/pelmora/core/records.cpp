#include "core/records.h"

#include "core/py_ref.h"
#include "core/records_cells.h"
#include "core/records_input.h"
#include "core/records_kind.h"
#include "core/records_object.h"
#include "core/records_temporal.h"

namespace pelmora::records {
namespace {

py::object decimal_type() {
  py::object module = checked(PyImport_ImportModule("decimal"));
  return checked(PyObject_GetAttrString(module.ptr(), "Decimal"));
}

py::object new_row_dict(Py_ssize_t width) {
#if PY_VERSION_HEX < 0x030D0000
  return checked(_PyDict_NewPresized(width));
#else
  (void)width;
  return checked(PyDict_New());
#endif
}

}  // namespace

py::list to_records(py::handle result_set, py::handle column_names,
                    const std::vector<std::string>& text_columns) {
  temporal_init();
  const Columns columns = read_columns(column_names.ptr());
  const auto width = static_cast<Py_ssize_t>(columns.keys.size());
  const std::vector<py::object> rows = read_rows(result_set.ptr(), width);
  const std::vector<bool> is_text = text_flags(columns, text_columns);
  require_unique(columns);
  // A table without columns encodes as no records at all.
  if (rows.empty() || width == 0) return py::list();

  const std::vector<ColumnType> types = infer_columns(rows, width);
  bool any_object = false;
  for (size_t c = 0; c < types.size(); ++c) any_object |= types[c].kind == Kind::Object && !is_text[c];
  const py::object decimal = any_object ? decimal_type() : py::object();
  ObjectEncoder objects(decimal.ptr());
  std::vector<CellWriter> writers;
  writers.reserve(types.size());
  for (size_t c = 0; c < types.size(); ++c) writers.emplace_back(types[c], is_text[c], &objects);

  py::object result = checked(PyList_New(static_cast<Py_ssize_t>(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) {
    PyObject* row = rows[r].ptr();
    py::object dict = new_row_dict(width);
    for (Py_ssize_t c = 0; c < width; ++c) {
      py::object value = writers[c](PyTuple_GET_ITEM(row, c));
      if (PyDict_SetItem(dict.ptr(), columns.keys[c].ptr(), value.ptr()) < 0) throw_pending();
    }
    PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(r), dict.release().ptr());
  }
  return py::reinterpret_steal<py::list>(result.release().ptr());
}

}  // namespace pelmora::records
