// The account's profit per product and commodity, long, short and total, net of
// commission, summed by the MySQL store from both daily return tables.
#include <string>

#include "core/guard.h"
#include "core/python.h"
#include "core/result.h"
#include "core/statement.h"
#include "research/frame.h"
#include "research/research.h"

namespace pelmora::research {

namespace {

constexpr std::string_view kByCommodity = "commodity";

// Returns are matched to the account the register books them under
// (assetacc_save, else the account itself), while the first column shows the
// object's own account. Combination contracts (codes over six characters) stay out.
constexpr std::string_view kByCommodityQuery =
    "select '{account}' assetacc, x3.product_name, x1.commodity, sum(prefee_return_l - commission_l) pl_l, "
    "sum(prefee_return_s - commission_s) pl_s, sum(prefee_return_l - commission_l + prefee_return_s - "
    "commission_s) pl from (select * from trade.daily_return where trading_day >= '{start}' AND trading_day "
    "<= '{end}' and length(contract) <= 6 UNION ALL select * from trade.daily_return_fz where trading_day >= "
    "'{start}' AND trading_day <= '{end}' and length(contract) <= 6) x1 left join (SELECT commodity, "
    "sector_CN sector, multiplier from trade.commodity_info) x2 ON x1.commodity = x2.commodity inner join "
    "(select distinct product_name, case when assetacc_sum is not null then assetacc_sum else assetacc end "
    "assetacc_x, case when assetacc_save is not null then assetacc_save else assetacc end assetacc from "
    "trade.t_assetacc_info where assetacc = '{account}' ) x3 on x1.assetacc = x3.assetacc group by "
    "x3.assetacc, x3.product_name, x1.commodity";

const StatementTemplates kTemplates{{"post_trade_commodity", kByCommodityQuery}};

// "20240904" -> "2024-09-04" by position: the digits are not checked here,
// the store judges the day.
std::string dashed_day(py::handle day) {
  auto piece = [&](int from, int to) { return text_of(day[py::slice(from, to, 1)]); };
  return piece(0, 4) + "-" + piece(4, 6) + "-" + piece(6, 8);
}

bool is_by_commodity(py::handle typ) {
  return typ.equal(py::str(kByCommodity.data(), kByCommodity.size()));
}

}  // namespace

py::dict post_trade_analysis(py::object self, py::object start_date, py::object end_date, py::object typ) {
  if (!usable(self)) return init_failed();
  // Outside the guard: an argument without a length raises to the caller.
  if (py::len(start_date) != 8 || py::len(end_date) != 8 || py::len(typ) == 0) return result(2, kFieldsRejected);
  return guarded(
      [&]() -> py::dict {
        const std::string start = dashed_day(start_date);
        const std::string end = dashed_day(end_date);
        if (!is_by_commodity(typ)) return data_result(0, module_attr("pd").attr("DataFrame")());

        Statement q;
        q.fill(kByCommodityQuery,
               {{"account", text_of(self.attr("account_id"))}, {"start", start}, {"end", end}});
        // Through the class at call time, so a substitute placed there is the one used.
        py::object table = module_attr("Pelmora").attr("mysql_248")(q.str());
        return data_result(0, table);
      },
      failure);
}

}  // namespace pelmora::research
