// Query texts of the split-mode parameters: the listing of selectable modes,
// the account's standing parameters, and a mode's parameters laid over the
// account's register row.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace pelmora::execution {
namespace py = pybind11;

extern const std::string_view kAvailableModesQuery;
extern const std::string_view kModeCheckQuery;    // marker {mode}
extern const std::string_view kChangeLogInsert;   // markers {account}, {mode}, {ts}, {hours}

// "test" for an object of the test environment, "prod" for any other.
std::string env_tag(py::handle self);

// The account query, or with a mode ID the template query.
py::str account_params_query(py::handle self, const std::string* mode_id = nullptr);

}  // namespace pelmora::execution
