#include "core/python.h"
#include "core/python_literal.h"
#include "core/statement.h"

namespace pelmora {

void write_python_literal(std::string& out, py::handle value) {
  PyObject* v = value.ptr();
  if (PyUnicode_Check(v)) {
    out.push_back('\'');
    out.append(escape_quoted(text_of(value)));
    out.push_back('\'');
    return;
  }
  if (PyBool_Check(v)) {
    out.append(v == Py_True ? "True" : "False");
    return;
  }
  if (PyLong_Check(v)) {
    // int's own text, also for subclasses (numpy ints, IntEnum) whose str may differ
    py::object digits = py::reinterpret_steal<py::object>(PyLong_Type.tp_repr(v));
    if (!digits) throw py::error_already_set();
    out.append(digits.cast<std::string>());
    return;
  }
  if (PyFloat_Check(v)) {
    // float's own repr, also for subclasses such as numpy.float64 whose repr
    // would name the type
    out.append(double_text(PyFloat_AsDouble(v)));
    return;
  }
  if (py::object plain = numpy_item(value)) {
    write_python_literal(out, plain);
    return;
  }
  out.append(py::repr(value).cast<std::string>());
}

py::object numpy_item(py::handle value) {
  if (!py::hasattr(value, "dtype") || !py::hasattr(value, "item")) return py::object();
  py::object plain = value.attr("item")();
  if (plain.is(value) || py::hasattr(plain, "dtype")) return py::object();
  return plain;
}

}  // namespace pelmora
