// What the live reads make of the platform's answer.
#include <array>
#include <string>

#include "core/python.h"
#include "core/result.h"
#include "reads/read_kinds.h"

namespace pelmora::reads {

namespace {

constexpr std::string_view kLiveOk = "查询成功（风控平台实时数据）";
constexpr std::string_view kNotLongShort = "风控平台实时数据查询失败, 持仓数据有非LONG/SHORT的记录";

constexpr std::array<const char*, 10> kSummaryEntries = {
    "today",         "yesterday",           "today_long",           "yesterday_long",
    "today_short",   "yesterday_short",     "position_profit_long", "position_profit_short",
    "use_margin_long", "use_margin_short"};

// Label of the platform's fund record for each key of the live answer.
constexpr std::array<std::pair<const char*, const char*>, 9> kFundLabels = {{
    {"available", "可用资金"},
    {"balance", "账户权益"},
    {"trading_day", "交易日"},
    {"position_profit", "持仓盈亏"},
    {"close_profit", "平仓盈亏"},
    {"commission", "手续费"},
    {"deposit", "入金"},
    {"withdraw", "出金"},
    {"pre_balance", "上次权益"},
}};

void add_to(py::dict& entry, const std::string& key, py::handle amount) {
  py::str k(key);
  py::object sum = entry[k];
  entry[k] = sum + py::reinterpret_borrow<py::object>(amount);
}

}  // namespace

// Positions summed per contract, long minus short, combination contracts
// left out.
py::dict position_summary(py::handle, py::handle data) {
  py::dict summary;
  const py::str amp("&");
  for (py::handle record : data) {
    py::object contract = record[py::str("contract")];
    if (contract.contains(amp)) continue;
    if (!summary.contains(contract)) {
      py::dict entry;
      for (const char* name : kSummaryEntries) entry[name] = 0;
      summary[contract] = entry;
    }
    py::object direction = record[py::str("direction")];
    int sign;
    std::string side;
    if (direction.equal(py::str("Long"))) {
      sign = 1;
      side = "long";
    } else if (direction.equal(py::str("Short"))) {
      sign = -1;
      side = "short";
    } else {
      return result(1, kNotLongShort);
    }
    py::dict entry = summary[contract];
    py::object today = record[py::str("today_position")];
    py::object yesterday = record[py::str("yesterday_position")];
    add_to(entry, "today", today * py::int_(sign));
    add_to(entry, "yesterday", yesterday * py::int_(sign));
    add_to(entry, "position_profit_" + side, record[py::str("position_profit")]);
    add_to(entry, "use_margin_" + side, record[py::str("use_margin")]);
    add_to(entry, "today_" + side, today);
    add_to(entry, "yesterday_" + side, yesterday);
  }
  return result(0, kLiveOk, summary);
}

py::dict pass_through(py::handle, py::handle data) { return result(0, kLiveOk, data); }

py::dict fund_figures(py::handle self, py::handle data) {
  py::dict figures;
  figures["account_id"] = platform_user(self);
  for (const auto& [key, label] : kFundLabels) figures[key] = data[py::str(label)];
  return result(0, kLiveOk, figures);
}


// pd.DataFrame(data): rows of records, or the columns of a mapping.
py::object table_of(py::handle data) { return module_attr("pd").attr("DataFrame")(data); }

// The fund figures are one record of scalars, which pd.DataFrame(data)
// refuses ("must pass an index"): their table is that one row.
py::object one_row_table(py::handle data) {
  py::list rows;
  rows.append(data);
  return table_of(rows);
}

}  // namespace pelmora::reads
