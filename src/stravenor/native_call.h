// Calls into the native library run with the GIL released: a login can take
// seconds, and other Python threads keep running meanwhile.
#pragma once

#include <utility>

#include <pybind11/pybind11.h>

namespace stravenor {

template <class F>
auto native_call(F&& f) {
  pybind11::gil_scoped_release nogil;
  return std::forward<F>(f)();
}

}  // namespace stravenor
