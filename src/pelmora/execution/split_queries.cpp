#include "execution/split_queries.h"

#include "core/statement.h"

namespace pelmora::execution {

namespace {

// The lines both parameter queries share; only the join of x3 differs. The
// "--" line must keep its line break: the store drops the rest of a line
// after a comment marker.
#define PELMORA_PARAMS_HEAD                                                  \
  "select\n"                                                                 \
  "x1.account_id,\n"                                                         \
  "-- 核心逻辑：所有字段均优先取x3，无值则取x2\n"                            \
  "coalesce(x3.trade_price, x2.trade_price) as trade_price,\n"               \
  "coalesce(x3.twap, x2.twap) as twap,\n"                                    \
  "coalesce(x3.sum_twap, x2.sum_twap) as sum_twap,\n"                        \
  "coalesce(x3.twap_time_gap, x2.twap_time_gap) as twap_time_gap,\n"         \
  "coalesce(x3.cancel_cmd_time, x2.cancel_cmd_time) as cancel_cmd_time,\n"   \
  "coalesce(x3.split_volume_max, x2.split_volume_max) as split_volume_max,\n"\
  "coalesce(x3.split_volume_min, x2.split_volume_min) as split_volume_min\n" \
  "FROM factors.t_account_info as x1\n"                                      \
  "INNER JOIN strategy.param_user_info as x2\n"                              \
  "ON x1.user_id = x2.user_id and x1.env = x2.env\n"                         \
  "LEFT JOIN\n"                                                              \
  "( select toNullable(account_id) as account_id,\n"                         \
  "toNullable(trade_price) as trade_price,\n"                                \
  "toNullable(twap) as twap,\n"                                              \
  "toNullable(sum_twap) as sum_twap,\n"                                      \
  "toNullable(twap_time_gap) as twap_time_gap,\n"                            \
  "toNullable(cancel_cmd_time) as cancel_cmd_time,\n"                        \
  "toNullable(split_volume_max) as split_volume_max,\n"                      \
  "toNullable(split_volume_min) as split_volume_min\n"                       \
  "FROM\n"                                                                   \
  "strategy.param_account_info) as x3\n"

#define PELMORA_PARAMS_TAIL                        \
  "WHERE\n"                                       \
  "toString(now64()) >= x1.zip_begindate\n"       \
  "AND toString(now64()) <= x1.zip_enddate\n"     \
  "AND x1.trade_flag = 'T'\n"                     \
  "AND x1.account_id = '{account}'\n"             \
  "AND x1.env = '{env}' "

// Own row over the user's defaults.
constexpr std::string_view kAccountQuery =
    PELMORA_PARAMS_HEAD "ON x1.account_id = x3.account_id\n" PELMORA_PARAMS_TAIL;
// The mode's row in place of the account's own row; user defaults still fill its gaps.
constexpr std::string_view kModeQuery = PELMORA_PARAMS_HEAD "ON x3.account_id = '{mode}'\n" PELMORA_PARAMS_TAIL;

#undef PELMORA_PARAMS_HEAD
#undef PELMORA_PARAMS_TAIL

}  // namespace

const std::string_view kAvailableModesQuery =
    " select account_id, trade_price, twap, sum_twap, twap_time_gap, cancel_cmd_time, split_volume_max, "
    "split_volume_min from strategy.param_account_info where account_id like '4321%' ";

const std::string_view kModeCheckQuery =
    "select count(*) as n from strategy.param_account_info where account_id like '4321%' and account_id = "
    "'{mode}' ";

const std::string_view kChangeLogInsert =
    "INSERT INTO strategy.param_modify_log (account_id, split_mode, ts, effective_hour) VALUES ('{account}', "
    "'{mode}', '{ts}', {#hours}) ";

namespace {
const StatementTemplates kTemplates{
    {"split_available", kAvailableModesQuery}, {"split_account", kAccountQuery},
    {"split_template", kModeQuery},           {"split_mode_check", kModeCheckQuery},
    {"split_change_log", kChangeLogInsert},
};
}  // namespace

std::string env_tag(py::handle self) {
  py::object env = self.attr("env");
  return env.equal(py::str("test")) ? "test" : "prod";
}

py::str account_params_query(py::handle self, const std::string* mode_id) {
  const std::string account = text_of(self.attr("account_id"));
  const std::string env = env_tag(self);
  Statement q;
  if (mode_id)
    q.fill(kModeQuery, {{"mode", *mode_id}, {"account", account}, {"env", env}});
  else
    q.fill(kAccountQuery, {{"account", account}, {"env", env}});
  return q.str();
}

}  // namespace pelmora::execution
