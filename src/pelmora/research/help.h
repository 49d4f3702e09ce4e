// Help texts of the research reads. A member's signature line is made
// where it is registered, from the same arguments (core/help_text.h).
#pragma once

namespace pelmora::docs {

inline constexpr const char* kDocFactorsValue = R"doc(Daily research factor table between two days, as a DataFrame. Static: no login needed.

typ        -- "value" (other.factor_value_new: date, factor, commodity, value),
              "weight" (other.factor_weight_new) or "net" (other.factor_net_new)
start_date -- first day, eight characters, e.g. "20240923", inclusive
end_date   -- last day, same form, inclusive

Result: {"code": 0, "data": pandas.DataFrame} (empty with the table's columns when there
are no rows); code 1 "typ 枚举值 {'value'，'weight'}; start_date, end_date -- '20240904' " for a
bad kind or date (also the defaults), or the repr of a connection/query error.
)doc";

inline constexpr const char* kDocFactorsValueVesk = R"doc(As factors_value, restricted to the ten factors of the desk's model.

The factors: Factor_Momentum_Long, Factor_Warehouse, Factor_Skew, Factor_Inventory,
Factor_Momentum_Mid, Factor_Profit, Factor_RuleBased_Long, Factor_Basis_TS,
Factor_CSMom_Long, Factor_Basis_Mom.

typ -- "value", "weight" or "net"; start_date, end_date -- eight-character days, inclusive.
Result: {"code": 0, "data": pandas.DataFrame}; code 1 with the argument message or the
repr of a connection/query error. Static: no login needed.
)doc";

inline constexpr const char* kDocPostTradeAnalysis = R"doc(Profit and loss of the account per product and commodity, net of commission.

start_date -- first trading day, eight characters, e.g. "20240902", inclusive
end_date   -- last trading day, same form, inclusive
typ        -- "commodity" (default): the breakdown; any other non-empty text gives an
              empty table

Result: {"code": 0, "data": pandas.DataFrame} with the columns assetacc, product_name,
commodity, pl_l (long side), pl_s (short side), pl (total), summed over the daily
returns of contracts of at most six characters; code 1 "类初始化失败" or the repr of a
store error; code 2 "必填字段未定义/格式有误, 请修改后重新执行" for a bad date or empty typ.
)doc";

}  // namespace pelmora::docs
