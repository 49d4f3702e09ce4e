// TWAP settings per commodity, appended to the store for the account.
#include <array>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/python.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/upload_rows.h"
#include "execution/execution.h"

namespace pelmora::execution {

namespace {

constexpr std::array<const char*, 4> kRequired = {"commodity", "if_twap", "time_gap", "volume"};
constexpr std::string_view kOpening = "INSERT into factors.TWAP_config (";
constexpr std::string_view kClosing = ");";

const StatementTemplates kTemplates{{"twap_insert_opening", kOpening}};

// The column names of the table, each in double quotes.
py::list quoted_columns(py::handle table) {
  py::list out;
  for (py::handle column : table.attr("columns")) out.append(py::str("\"" + text_of(column) + "\""));
  return out;
}

}  // namespace

// No catch-all: bad values and store errors reach the caller. The rows go
// out as one statement, so a failed insert leaves none of them.
py::dict fun_update_TWAP_info(py::object self, py::object input_data) {
  if (!usable(self)) return init_failed();
  py::object table = module_attr("pd").attr("DataFrame")(input_data);

  std::string missing;
  for (const char* name : kRequired)
    if (!table.attr("columns").contains(name)) missing.append("输入数据缺少 ").append(name).append(" 列");
  if (!missing.empty()) return result(2, missing);

  py::list required;
  for (const char* name : kRequired) required.append(name);
  // The four columns first: other columns are ignored, even ones whose
  // values cannot be compared for repeats.
  table = table[required].attr("copy")();
  // Commodities are compared as they are written: "Rb" repeats "RB".
  py::list upper;
  for (py::handle commodity : table["commodity"]) upper.append(commodity.attr("upper")());
  table["commodity"] = upper;

  const std::size_t rows_given = py::len(table);
  const std::size_t commodities = py::len(table["commodity"].attr("drop_duplicates")());
  if (commodities < rows_given) return result(2, kDuplicateRows);
  if (commodities == 0) return result(2, kEmptyInput);
  table = table.attr("drop_duplicates")();

  py::object usable_rows = table["if_twap"].attr("isin")(py::make_tuple(1, 0)) &
                           table["time_gap"].attr("ge")(0) & table["volume"].attr("ge")(0);
  table = table[usable_rows].attr("copy")();
  table["account_id"] = self.attr("account_id");
  const std::string at = now_text("%Y-%m-%d %H:%M:%S");
  table["update_time"] = at;

  const std::size_t accepted = py::len(table);
  if (accepted > kMaxUploadRows) return result(2, too_many_rows(accepted));
  using K = ColumnKind;
  const std::string unwritable = unwritable_cell(
      table, {{"commodity", K::Text}, {"if_twap", K::Integer}, {"time_gap", K::Float}, {"volume", K::Float}});
  if (!unwritable.empty()) return result(2, unwritable);

  if (accepted > 0) {
    Statement insert;
    insert.insert_rows(kOpening, quoted_columns(table),
                       table.attr("itertuples")(py::arg("index") = false, py::arg("name") = py::none()), kClosing);
    self.attr("client").attr("command")(insert.str());
  }
  return result(0, "更新" + std::to_string(rows_given) + ", " + at);
}

}  // namespace pelmora::execution
