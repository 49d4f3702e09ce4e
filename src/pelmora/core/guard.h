// One guard for turning a method's failure into its answer. Both families of
// error are caught: Python errors raised through the C API and pybind11's C++
// exceptions (a cast of a non-text, a type_error thrown by our own code).
// Only Exceptions become answers: KeyboardInterrupt, SystemExit and other
// BaseExceptions still reach the caller.
#pragma once
#include <pybind11/pybind11.h>

#include <exception>
#include <new>

#include "core/python.h"
#include "core/result.h"

namespace pelmora {
namespace py = pybind11;

// The source line of the step under way, for answers that name the failing
// line ("line_no: N"): write `PELMORA_STEP(at, expression)`.
struct StepLine {
  int line = 0;
};
#define PELMORA_STEP(at, ...) ((at).line = __LINE__, __VA_ARGS__)

namespace detail {
// The pending Python error of a C++ exception, as pybind11 would raise it.
py::error_already_set as_python_error(const std::exception& e);
}  // namespace detail

// Runs body(); a caught failure gives on_failure(repr text of the error).
template <typename Body, typename OnFailure>
auto guarded(Body&& body, OnFailure&& on_failure) -> decltype(body()) {
  try {
    return body();
  } catch (py::error_already_set& e) {
    if (!is_exception(e)) throw;
    return on_failure(error_repr(e));
  } catch (const std::exception& e) {
    py::error_already_set err = detail::as_python_error(e);
    if (!is_exception(err)) throw err;
    return on_failure(error_repr(err));
  }
}

}  // namespace pelmora
