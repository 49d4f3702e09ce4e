#include "records/writer.h"

namespace pelmora::records {
namespace {

py::object decimal_type() {
  py::object module = checked(PyImport_ImportModule("decimal"));
  return checked(PyObject_GetAttrString(module.ptr(), "Decimal"));
}

bool any_object_column(const std::vector<InferredColumn>& types, const std::vector<bool>& is_text) {
  for (size_t c = 0; c < types.size(); ++c) {
    if (types[c].type == ColumnType::Object && !is_text[c]) return true;
  }
  return false;
}

}  // namespace

RecordWriter::RecordWriter(const Columns& columns, const std::vector<InferredColumn>& types,
                           const std::vector<bool>& is_text)
    : columns_(columns),
      decimal_(any_object_column(types, is_text) ? decimal_type() : py::object()),
      objects_(decimal_.ptr()) {
  writers_.reserve(types.size());
  for (size_t c = 0; c < types.size(); ++c) writers_.emplace_back(types[c], is_text[c], &objects_);
}

py::object RecordWriter::new_row_dict(Py_ssize_t width) {
#if PY_VERSION_HEX < 0x030D0000
  return checked(_PyDict_NewPresized(width));
#else
  (void)width;
  return checked(PyDict_New());
#endif
}

}  // namespace pelmora::records
