// Row dictionaries from cells, by each column's inferred type: the one place
// the value rules are applied, whether the cells came from Python rows or
// from Native columns.
#pragma once
#include <vector>

#include "core/py_ref.h"
#include "records/cells.h"
#include "records/column_type.h"
#include "records/input.h"
#include "records/object.h"

namespace pelmora::records {

// The cyclic collector paused while the rows are made: hundreds of
// thousands of new dicts would otherwise set off collections that walk all
// of them again and again; nothing made here forms a cycle.
class GcPause {
 public:
  GcPause() : was_enabled_(PyGC_Disable() != 0) {}
  ~GcPause() {
    if (was_enabled_) PyGC_Enable();
  }
  GcPause(const GcPause&) = delete;
  GcPause& operator=(const GcPause&) = delete;

 private:
  bool was_enabled_;
};

class RecordWriter {
 public:
  RecordWriter(const Columns& columns, const std::vector<InferredColumn>& types, const std::vector<bool>& is_text);
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // One dict per row; `cell(r, c)` gives the borrowed value of row r, column c.
  // One column's values as write() puts them in the rows.
  std::vector<py::object> write_column(size_t c, const std::vector<py::object>& cells) {
    GcPause pause;
    std::vector<py::object> out;
    out.reserve(cells.size());
    for (const py::object& cell : cells) out.push_back(writers_[c](cell.ptr()));
    return out;
  }

  template <typename Cell>
  py::list write(size_t rows, Cell&& cell) {
    const auto width = static_cast<Py_ssize_t>(writers_.size());
    GcPause pause;
    py::object result = checked(PyList_New(static_cast<Py_ssize_t>(rows)));
    for (size_t r = 0; r < rows; ++r) {
      py::object dict = new_row_dict(width);
      for (Py_ssize_t c = 0; c < width; ++c) {
        py::object value = writers_[c](cell(r, static_cast<size_t>(c)));
        if (PyDict_SetItem(dict.ptr(), columns_.keys[c].ptr(), value.ptr()) < 0) throw_pending();
      }
      PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(r), dict.release().ptr());
    }
    return py::reinterpret_steal<py::list>(result.release().ptr());
  }

 private:
  static py::object new_row_dict(Py_ssize_t width);

  const Columns& columns_;
  py::object decimal_;
  ObjectEncoder objects_;
  std::vector<CellWriter> writers_;
};

}  // namespace pelmora::records
