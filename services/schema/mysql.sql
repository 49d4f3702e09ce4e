-- MySQL schema of the desk's database `trade` (the post-trade breakdown reads these).

-- Daily profit per account and contract, long and short side, before fees.
CREATE TABLE IF NOT EXISTS daily_return
(
    trading_day     DATE        NOT NULL,
    assetacc        VARCHAR(32) NOT NULL,
    contract        VARCHAR(32) NOT NULL,
    commodity       VARCHAR(16) NOT NULL,
    position_l      INT         NOT NULL DEFAULT 0,
    position_s      INT         NOT NULL DEFAULT 0,
    settle_price    DOUBLE      NOT NULL DEFAULT 0,
    prefee_return_l DOUBLE      NOT NULL DEFAULT 0,
    commission_l    DOUBLE      NOT NULL DEFAULT 0,
    prefee_return_s DOUBLE      NOT NULL DEFAULT 0,
    commission_s    DOUBLE      NOT NULL DEFAULT 0,
    PRIMARY KEY (trading_day, assetacc, contract)
) DEFAULT CHARSET = utf8mb4;

-- The same figures from the second record source; same columns, so the two unite.
CREATE TABLE IF NOT EXISTS daily_return_fz LIKE daily_return;

CREATE TABLE IF NOT EXISTS commodity_info
(
    commodity      VARCHAR(16) NOT NULL PRIMARY KEY,
    commodity_name VARCHAR(32) NOT NULL,
    sector_CN      VARCHAR(32) NOT NULL,
    exchange       VARCHAR(16) NOT NULL,
    multiplier     INT         NOT NULL
) DEFAULT CHARSET = utf8mb4;

-- Products of the accounts; returns of an account may be booked under another one.
CREATE TABLE IF NOT EXISTS t_assetacc_info
(
    assetacc      VARCHAR(32)  NOT NULL,
    assetacc_sum  VARCHAR(32)  NULL,
    assetacc_save VARCHAR(32)  NULL,
    product_name  VARCHAR(64)  NOT NULL,
    PRIMARY KEY (assetacc, product_name)
) DEFAULT CHARSET = utf8mb4;
