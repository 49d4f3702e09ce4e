// Minimum opening quantities from the risk configuration.
#include <string>
#include <string_view>

#include "core/guard.h"
#include "core/result.h"
#include "core/statement.h"
#include "execution/execution.h"

namespace pelmora::execution {

namespace {

constexpr std::string_view kMinOpenQuery =
    "select name, min_amt from factors.risk_config where toString(now64()) >= zip_begindate and "
    "toString(now64()) <= zip_enddate and is_valid = 1 and category = '单笔最小开仓量' ";

const StatementTemplates kTemplates{{"risk_min_open", kMinOpenQuery}};

}  // namespace

// One category is served, whatever `info` names.
py::dict fun_read_info(py::object self, py::object /*info*/) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        py::object found = self.attr("client").attr("query")(py::str(kMinOpenQuery.data(), kMinOpenQuery.size()));
        // A name in several rows keeps its first place and its last value.
        py::dict minimums;
        for (py::handle row : found.attr("result_set")) minimums[row[py::int_(0)]] = row[py::int_(1)];
        return result(0, "success", minimums);
      },
      failure);
}

}  // namespace pelmora::execution
