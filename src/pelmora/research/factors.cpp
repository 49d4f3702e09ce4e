// The factor tables: one read for both static methods; what differs is the
// table of the kind and whether the desk's factor list narrows the rows.
#include <string>

#include "core/guard.h"
#include "core/result.h"
#include "core/statement.h"
#include "core/stores.h"
#include "research/frame.h"
#include "research/research.h"

namespace pelmora::research {

namespace {

// Lists two of the three kinds; traders know the message as it is.
constexpr std::string_view kBadArguments =
    "typ 枚举值 {'value'，'weight'}; start_date, end_date -- '20240904' ";

// The vesk scope: ten named factors of the table.
#define PELMORA_VESK_FACTORS                                                                            \
  "and factor IN ('Factor_Momentum_Long', 'Factor_Warehouse', 'Factor_Skew', 'Factor_Inventory', "    \
  "'Factor_Momentum_Mid', 'Factor_Profit', 'Factor_RuleBased_Long', 'Factor_Basis_TS', 'Factor_CSMom_Long', " \
  "'Factor_Basis_Mom') "

struct FactorKind {
  std::string_view typ;
  std::string_view all_query;
  std::string_view vesk_query;
};

constexpr FactorKind kKinds[] = {
    {"value", " select * from other.factor_value_new where date >= '{start_date}' and date <= '{end_date}' ",
     " select * from other.factor_value_new where date >= '{start_date}' and date <= '{end_date}' "
     PELMORA_VESK_FACTORS},
    {"weight", " select * from other.factor_weight_new where date >= '{start_date}' and date <= '{end_date}' ",
     " select * from other.factor_weight_new where date >= '{start_date}' and date <= '{end_date}' "
     PELMORA_VESK_FACTORS},
    {"net", " select * from other.factor_net_new where date >= '{start_date}' and date <= '{end_date}' ",
     " select * from other.factor_net_new where date >= '{start_date}' and date <= '{end_date}' "
     PELMORA_VESK_FACTORS},
};

#undef PELMORA_VESK_FACTORS

const StatementTemplates kTemplates{
    {"factor_value", kKinds[0].all_query},  {"factor_value_vesk", kKinds[0].vesk_query},
    {"factor_weight", kKinds[1].all_query}, {"factor_weight_vesk", kKinds[1].vesk_query},
    {"factor_net", kKinds[2].all_query},    {"factor_net_vesk", kKinds[2].vesk_query},
};

enum class Scope { kAll, kVesk };

// The kind named exactly (case-sensitive, host equality); none for anything else.
const FactorKind* kind_of(py::handle typ) {
  for (const auto& kind : kKinds)
    if (typ.equal(py::str(kind.typ.data(), kind.typ.size()))) return &kind;
  return nullptr;
}

py::dict read_factors(py::handle typ, py::handle start_date, py::handle end_date, Scope scope) {
  return guarded(
      [&]() -> py::dict {
        const FactorKind* kind = kind_of(typ);
        if (!kind || py::len(start_date) != 8 || py::len(end_date) != 8) return result(1, kBadArguments);

        // A client of its own under the research user, closed however the call ends.
        stores::Closing client(stores::open_clickhouse(stores::kResearchUser, stores::kResearchPassword));
        Statement q;
        q.fill(scope == Scope::kVesk ? kind->vesk_query : kind->all_query,
               {{"start_date", text_of(start_date)}, {"end_date", text_of(end_date)}});
        return data_result(0, statement_frame(client.get(), q.str()));
      },
      failure);
}

}  // namespace

py::dict factors_value(py::object typ, py::object start_date, py::object end_date) {
  return read_factors(typ, start_date, end_date, Scope::kAll);
}

py::dict factors_value_vesk(py::object typ, py::object start_date, py::object end_date) {
  return read_factors(typ, start_date, end_date, Scope::kVesk);
}

}  // namespace pelmora::research
