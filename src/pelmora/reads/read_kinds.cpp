#include "reads/read_kinds.h"

#include "core/statement.h"

namespace pelmora::reads {

const ReadKind kPositionRead{
    /*live_option=*/"position",
    /*live_view=*/position_summary,
    /*live_table=*/table_of,
    /*simulation_query=*/"select * from simulate.ctp_positionstatics where day >= '{start}' and day <= '{end}' and "
        "account_id = '{account}'  ",
    /*production_query=*/"select * from (select day,instrument_id,direction,open_price,average_price, "
        "position,exchange_id,account_id,market_value,vendor ,product_code,product from "
        "trade.is_cpositionstatics where day >= '{start}' and day <= '{end}' and account_id = "
        "'{account}' UNION ALL select day, instrument_id, direction, open_price, average_price, "
        "position, exchange_id, account_id, market_value, vendor ,product_code, product from "
        "trade.idata_cpositionstatics where day >= '{start}' and day <= '{end}' and account_id = "
        "'{account}' ) ",
    /*text_columns=*/{"day"},
    /*rows=*/history_rows,
    /*frame=*/history_frame,
    /*success_msg=*/"success",
    /*failure_code=*/2,
    /*failure_line_no=*/true,
};

const ReadKind kOrderRead{
    /*live_option=*/"entrust",
    /*live_view=*/pass_through,
    /*live_table=*/table_of,
    /*simulation_query=*/"",
    /*production_query=*/" SELECT day, trading_day, trading_time, instrument_id, entrust_direction, price, "
        "entrust_volume, deal_volume, exchange_id, entrust_serial_no, entrust_status FROM "
        "trade.is_corderdetail WHERE trading_day >= '{start}' and trading_day <= '{end}' and "
        "account_id = '{account}' ",
    /*text_columns=*/{"trading_day", "day"},
    /*rows=*/history_rows,
    /*frame=*/history_frame,
    /*success_msg=*/"success",
    /*failure_code=*/2,
    /*failure_line_no=*/true,
};

const ReadKind kDealRead{
    /*live_option=*/"trade",
    /*live_view=*/pass_through,
    /*live_table=*/table_of,
    /*simulation_query=*/"select * from simulate.ctp_dealdetail where trading_day >= '{start}' and trading_day <= "
        "'{end}' and account_id = '{account}'  ",
    /*production_query=*/"select * from (select day, trading_day, trading_time, instrument_id, entrust_direction, "
        "price, volume, commission, exchange_id, product, vendor, product_code, entrust_serial_no, "
        "account_id, trade_id from trade.is_cdealdetail where trading_day >= '{start}' and "
        "trading_day <= '{end}' and account_id = '{account}' UNION ALL select day, trading_day, "
        "trading_time, instrument_id, entrust_direction, price, volume, commission, exchange_id, "
        "product, vendor, product_code, entrust_serial_no, account_id, trade_id from "
        "trade.idata_cdealdetail where trading_day >= '{start}' and trading_day <= '{end}' and "
        "account_id = '{account}' ) ",
    /*text_columns=*/{"trading_day", "day"},
    /*rows=*/history_rows,
    /*frame=*/history_frame,
    /*success_msg=*/"success",
    /*failure_code=*/2,
    /*failure_line_no=*/true,
};

// One query for both kinds of account: the simulation half by the whole
// identifier, the production half (latest snapshot per day) by its first
// eight characters. The "--" comments end at their line breaks.
constexpr std::string_view kEquityQuery =
    "SELECT * FROM\n"
    "(\n"
    "SELECT\n"
    "account_id,\n"
    "-- 统一转为 Date 类型\n"
    "toDate(concat(substring(trading_day,1,4), '-', substring(trading_day,5,2), '-', "
    "substring(trading_day,7,2))) as trading_day,\n"
    "toFloat64(close_deposit) as balance,  -- 统一数值类型\n"
    "toDateTime('1970-01-01 00:00:00') as update_time  -- 用时间类型替代空字符串\n"
    "FROM simulate.ctp_product_trend_values\n"
    "WHERE account_id = '{account}' \n"
    "HAVING trading_day >= '{start}' and trading_day <= '{end}'\n"
    ")\n"
    "UNION ALL\n"
    "\n"
    "(\n"
    "SELECT\n"
    "account_id,  -- 调整列顺序，和上方完全一致\n"
    "toDate(trading_day) as trading_day,  -- 统一转为 Date 类型\n"
    "toFloat64(balance) as balance,       -- 统一数值类型\n"
    "toDateTime(create_time) as update_time\n"
    "FROM\n"
    "(\n"
    "SELECT\n"
    "trading_day,\n"
    "account_id,\n"
    "create_time,\n"
    "balance,\n"
    "rn\n"
    "FROM\n"
    "(\n"
    "SELECT\n"
    "trading_day,\n"
    "account_id,\n"
    "groupArray(create_time) AS create_time_arr,\n"
    "groupArray(balance) AS balance_arr,\n"
    "arrayEnumerate(create_time_arr) AS rn_arr\n"
    "FROM\n"
    "(\n"
    "SELECT *\n"
    "FROM trade.futures_account_daily_snapshot\n"
    "WHERE account_id = '{account8}' AND trading_day >= '{start}' AND trading_day <= '{end}'\n"
    "ORDER BY trading_day, account_id, create_time DESC\n"
    ")\n"
    "GROUP BY trading_day, account_id\n"
    ")\n"
    "ARRAY JOIN\n"
    "create_time_arr AS create_time,\n"
    "balance_arr AS balance,\n"
    "rn_arr AS rn\n"
    "HAVING rn = 1\n"
    ")\n"
    ")\n";

const ReadKind kEquityRead{
    /*live_option=*/"fund",
    /*live_view=*/fund_figures,
    /*live_table=*/one_row_table,
    /*simulation_query=*/kEquityQuery,
    /*production_query=*/kEquityQuery,
    /*text_columns=*/{},
    /*rows=*/equity_rows,
    /*frame=*/equity_frame,
    /*success_msg=*/"success, ",
    /*failure_code=*/1,
    /*failure_line_no=*/false,
};

// The history statements by name, for tests that run the library's own texts.
const StatementTemplates kTemplates{
    {"position_history_simulation", kPositionRead.simulation_query},
    {"position_history_production", kPositionRead.production_query},
    {"order_history_production", kOrderRead.production_query},
    {"deal_history_simulation", kDealRead.simulation_query},
    {"deal_history_production", kDealRead.production_query},
    {"equity_history", kEquityQuery},
};

}  // namespace pelmora::reads
