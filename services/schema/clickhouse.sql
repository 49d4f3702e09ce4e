-- ClickHouse schema of the desk's analytical store.
-- Validity columns (zip_begindate, zip_enddate) are texts 'YYYY-MM-DD HH:MM:SS': the open
-- end '2500-12-31 00:00:00' lies beyond every date-time type, and the library compares
-- them with texts (its own clock, or toString(now64())).
-- Every table is a MergeTree so that ALTER TABLE ... UPDATE works on it.

CREATE DATABASE IF NOT EXISTS factors;
CREATE DATABASE IF NOT EXISTS strategy;
CREATE DATABASE IF NOT EXISTS trade;
CREATE DATABASE IF NOT EXISTS simulate;
CREATE DATABASE IF NOT EXISTS other;

-- Account register: one row per version of an account record.
CREATE TABLE IF NOT EXISTS factors.t_account_info
(
    account_id       String,
    account_key      String,
    market_value     Float64,
    strategy         String,
    trade_flag       String,            -- 'T' trading, 'F' not
    acquire_info_key String,
    user_id          String,
    env              String,            -- 'test' or 'prod'; a version written without it gets ''
    zip_begindate    String,
    zip_enddate      String
)
ENGINE = MergeTree
ORDER BY (account_id, zip_begindate);

-- Main account -> copy account pairings.
CREATE TABLE IF NOT EXISTS factors.t_assetacc_match
(
    account_id      String,
    copy_account_id String,
    is_valid        UInt8,
    create_time     DateTime DEFAULT now()
)
ENGINE = MergeTree
ORDER BY (account_id, copy_account_id);

-- Signal table: every upload as rows; superseded rows are marked, never removed.
CREATE TABLE IF NOT EXISTS factors.t_order_dtl
(
    trading_day String,                 -- the caller's day text, e.g. '20240905'
    contract    String,
    position    Int64,
    direction   String,                 -- 'L' / 'S'
    signal_date String,
    order_typ   String,                 -- call_auction / intraday_trading / before_close
    trade_time  String,                 -- 'D' / 'N' / ''
    feature     Int32,                  -- 0 / 1, 20 / 21 in continuous-holding mode
    account_id  String,
    user_id     String,
    create_time String,                 -- 'YYYY-MM-DD HH:MM:SS.ffffff'
    update_time String,                 -- same form, last write to the row
    data_source String,                 -- 'redis' / 'clickhouse'
    delete_tag  Nullable(Int8),         -- NULL live, 2 replaced, 1 deleted
    update_id   Nullable(String)        -- user who deleted the row
)
ENGINE = MergeTree
ORDER BY (trading_day, account_id, contract);

-- Risk configuration, versioned like the register.
CREATE TABLE IF NOT EXISTS factors.risk_config
(
    name          String,
    min_amt       Int64,
    category      String,
    is_valid      UInt8,
    zip_begindate String,
    zip_enddate   String
)
ENGINE = MergeTree
ORDER BY (category, name, zip_begindate);

-- TWAP settings per account and commodity, appended on every upload.
CREATE TABLE IF NOT EXISTS factors.TWAP_config
(
    commodity   String,
    if_twap     Int8,
    time_gap    Float64,
    volume      Float64,
    account_id  String,
    update_time DateTime
)
ENGINE = MergeTree
ORDER BY (account_id, commodity, update_time);

-- Order-splitting defaults per user and environment.
CREATE TABLE IF NOT EXISTS strategy.param_user_info
(
    user_id          String,
    env              String,
    trade_price      String,
    twap             UInt8,
    sum_twap         Int32,             -- minutes
    twap_time_gap    Int32,             -- seconds
    cancel_cmd_time  Int32,             -- seconds
    split_volume_max Int32,             -- lots
    split_volume_min Int32              -- lots
)
ENGINE = MergeTree
ORDER BY (user_id, env);

-- Order-splitting rows keyed by account: an account's own row, or a selectable
-- split mode (account_id beginning with 4321). NULL falls back to the user default.
CREATE TABLE IF NOT EXISTS strategy.param_account_info
(
    account_id       String,
    trade_price      Nullable(String),
    twap             Nullable(UInt8),
    sum_twap         Nullable(Int32),
    twap_time_gap    Nullable(Int32),
    cancel_cmd_time  Nullable(Int32),
    split_volume_max Nullable(Int32),
    split_volume_min Nullable(Int32)
)
ENGINE = MergeTree
ORDER BY account_id;

-- Log of split-mode switches.
CREATE TABLE IF NOT EXISTS strategy.param_modify_log
(
    account_id     String,
    split_mode     String,
    ts             DateTime,
    effective_hour Float64
)
ENGINE = MergeTree
ORDER BY (account_id, ts);

-- Daily position records of production accounts, from the two record sources.
CREATE TABLE IF NOT EXISTS trade.is_cpositionstatics
(
    day           Date,
    instrument_id String,
    direction     String,               -- 'long' / 'short'
    open_price    Float64,
    average_price Float64,
    position      Int64,
    exchange_id   String,
    account_id    String,
    market_value  Float64,
    vendor        String,
    product_code  String,
    product       String
)
ENGINE = MergeTree
ORDER BY (account_id, day, instrument_id, direction);

CREATE TABLE IF NOT EXISTS trade.idata_cpositionstatics AS trade.is_cpositionstatics;

-- Orders of production accounts; night-session orders belong to the next trading day.
CREATE TABLE IF NOT EXISTS trade.is_corderdetail
(
    day               Date,
    trading_day       Date,
    trading_time      String,           -- 'HH:MM:SS'
    instrument_id     String,
    entrust_direction String,           -- 'buy' / 'sell'
    offset            String,           -- 'open' / 'close' / 'close_today'
    price             Float64,
    entrust_volume    Int64,
    deal_volume       Int64,
    exchange_id       String,
    entrust_serial_no String,
    entrust_status    String,           -- 'filled' / 'partially_filled' / 'cancelled' / 'rejected'
    account_id        String
)
ENGINE = MergeTree
ORDER BY (account_id, trading_day, entrust_serial_no);

-- Deals of production accounts, from the two record sources.
CREATE TABLE IF NOT EXISTS trade.is_cdealdetail
(
    day               Date,
    trading_day       Date,
    trading_time      String,
    instrument_id     String,
    entrust_direction String,
    offset            String,
    price             Float64,
    volume            Int64,
    commission        Float64,
    exchange_id       String,
    product           String,
    vendor            String,
    product_code      String,
    entrust_serial_no String,
    account_id        String,
    trade_id          String
)
ENGINE = MergeTree
ORDER BY (account_id, trading_day, trade_id);

CREATE TABLE IF NOT EXISTS trade.idata_cdealdetail AS trade.is_cdealdetail;

-- Fund snapshots of production accounts (eight-character ids), several per day.
CREATE TABLE IF NOT EXISTS trade.futures_account_daily_snapshot
(
    trading_day     Date,
    account_id      String,
    balance         Float64,
    available       Float64,
    curr_margin     Float64,
    position_profit Float64,
    close_profit    Float64,
    commission      Float64,
    deposit         Float64,
    withdraw        Float64,
    pre_balance     Float64,
    create_time     DateTime
)
ENGINE = MergeTree
ORDER BY (account_id, trading_day, create_time);

-- Simulation history.
CREATE TABLE IF NOT EXISTS simulate.ctp_positionstatics
(
    day             Date,
    account_id      String,
    instrument_id   String,
    direction       String,
    position        Int64,
    today_position  Int64,
    open_price      Float64,
    settle_price    Float64,
    position_profit Float64,
    use_margin      Float64,
    exchange_id     String
)
ENGINE = MergeTree
ORDER BY (account_id, day, instrument_id, direction);

CREATE TABLE IF NOT EXISTS simulate.ctp_dealdetail
(
    day           Date,
    trading_day   Date,
    account_id    String,
    trading_time  String,
    instrument_id String,
    direction     String,
    offset        String,
    price         Float64,
    volume        Int64,
    commission    Float64,
    trade_id      String,
    order_id      String,
    exchange_id   String
)
ENGINE = MergeTree
ORDER BY (account_id, trading_day, trade_id);

CREATE TABLE IF NOT EXISTS simulate.ctp_product_trend_values
(
    account_id     String,
    trading_day    String,              -- 'YYYYMMDD'
    pre_deposit    Float64,
    close_deposit  Float64,
    close_profit   Float64,
    position_profit Float64,
    commission     Float64,
    net_value      Float64
)
ENGINE = MergeTree
ORDER BY (account_id, trading_day);

-- Research factor tables.
CREATE TABLE IF NOT EXISTS other.factor_value_new
(
    date      Date,
    factor    String,
    commodity String,
    value     Float64
)
ENGINE = MergeTree
ORDER BY (date, factor, commodity);

CREATE TABLE IF NOT EXISTS other.factor_weight_new
(
    date   Date,
    factor String,
    weight Float64
)
ENGINE = MergeTree
ORDER BY (date, factor);

CREATE TABLE IF NOT EXISTS other.factor_net_new
(
    date      Date,
    factor    String,
    net_value Float64
)
ENGINE = MergeTree
ORDER BY (date, factor);
