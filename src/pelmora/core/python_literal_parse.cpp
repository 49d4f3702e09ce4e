#include "core/python_literal_parse.h"

#include <pybind11/gil_safe_call_once.h>

#include "core/py_ref.h"
#include "core/python.h"

namespace pelmora::literal {

SourceBytes::SourceBytes(py::handle text) {
  PyObject* p = text.ptr();
  if (PyUnicode_Check(p)) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(p, &size);
    if (data == nullptr) throw_pending();
    view_ = {data, static_cast<size_t>(size)};
    is_text_ = true;
    return;
  }
  if (PyCode_Check(p)) {
    is_code_ = true;
    return;
  }
  if (!PyObject_CheckBuffer(p) || PyObject_GetBuffer(p, &buffer_, PyBUF_SIMPLE) < 0) {
    PyErr_Clear();
    raise(PyExc_TypeError, "eval() arg 1 must be a string, bytes or code object");
  }
  held_ = true;
  view_ = {static_cast<const char*>(buffer_.buf), static_cast<size_t>(buffer_.len)};
}

SourceBytes::~SourceBytes() {
  if (held_) PyBuffer_Release(&buffer_);
}

QuietWarnings::QuietWarnings() {
  py::object warnings = module_attr("warnings");
  scope_ = warnings.attr("catch_warnings")();
  scope_.attr("__enter__")();
  warnings.attr("simplefilter")("ignore");
}

// No Python error is pending here: a failure travels as a C++ exception.
QuietWarnings::~QuietWarnings() {
  PyObject* done = PyObject_CallMethod(scope_.ptr(), "__exit__", "OOO", Py_None, Py_None, Py_None);
  if (done == nullptr) PyErr_WriteUnraisable(scope_.ptr());
  Py_XDECREF(done);
}

py::object compile(const SourceBytes& source, const std::string& nul_terminated, bool tree) {
  PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<py::str> filename;
  const py::str& name = filename.call_once_and_store_result([] { return py::str("<string>"); }).get_stored();
  PyCompilerFlags flags{};
  flags.cf_flags = PyCF_SOURCE_IS_UTF8 | (source.is_text() ? PyCF_IGNORE_COOKIE : 0) | (tree ? PyCF_ONLY_AST : 0);
  flags.cf_feature_version = PY_MINOR_VERSION;
  const size_t start = nul_terminated.find_first_not_of(" \t");
  const char* begin = nul_terminated.c_str() + (start == std::string::npos ? nul_terminated.size() : start);
  return checked(Py_CompileStringObject(begin, name.ptr(), Py_eval_input, &flags, -1));
}

}  // namespace pelmora::literal
