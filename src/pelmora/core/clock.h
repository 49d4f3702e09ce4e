// Local clock and date texts, through the module's datetime (looked up at call time) so a caller
// or test that replaces it controls the time.
#pragma once
#include <pybind11/pybind11.h>
#include <string>

namespace pelmora {
namespace py = pybind11;

// datetime.datetime.now(): one reading of the local clock.
py::object local_now();

// datetime.datetime.now().strftime(fmt)
std::string now_text(const char* fmt);

// "20240105" -> "2024-01-05"; an eight-character text that is no date raises
// datetime's own ValueError.
std::string iso_date(py::handle yyyymmdd);

// datetime.datetime.fromtimestamp(seconds).strftime(fmt): local time.
py::str local_time_text(py::handle seconds, const char* fmt);

}  // namespace pelmora
