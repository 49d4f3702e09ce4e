// Owning handle for raw CPython objects, for the per-value loops where a
// pybind11 cast per value would cost more than the work itself.
#pragma once
#include <pybind11/pybind11.h>

#include <utility>

namespace pelmora {
namespace py = pybind11;

class Ref {
 public:
  Ref() = default;
  explicit Ref(PyObject* owned) noexcept : p_(owned) {}
  static Ref borrow(PyObject* p) noexcept {
    Py_XINCREF(p);
    return Ref(p);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      PyObject* old = std::exchange(p_, std::exchange(o.p_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const noexcept { return p_; }
  PyObject* release() noexcept { return std::exchange(p_, nullptr); }
  explicit operator bool() const noexcept { return p_ != nullptr; }

 private:
  PyObject* p_ = nullptr;
};

// A C API call failed and left a Python error pending: carry it out.
[[noreturn]] inline void throw_pending() { throw py::error_already_set(); }

// Takes ownership of a C API result, raising if the call failed.
inline Ref checked(PyObject* result) {
  if (result == nullptr) throw_pending();
  return Ref(result);
}

[[noreturn]] inline void raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  throw_pending();
}

}  // namespace pelmora
