"""Demo against the local stack (`make demo` starts it first): a live snapshot straight
from the platform, then a Pelmora object for the demo production account with its live
position summary, a week of its deals and equity, a small signal upload replicated to its
copy account and read back, its trading switch turned off and on again, its position as the
live cache holds it, a temporary split-mode switch, the week's factor values and the
account's post-trade breakdown."""
import json
import os
from pprint import pprint

from pelmora.Pelmora import Pelmora, RISK_PLATFORM_HOST
from pelmora.Stravenor import query_trader_all_info

ACCOUNT, KEY, USER = "80050021", "k-80050021", "trader01"
WEEK = ("20240923", "20240927")
COPY, COPY_KEY = "80050077", "k-80050077"
SIGNAL_DAY = "20241008"


def show(title, value):
    print(f"\n== {title}")
    if isinstance(value, (dict, list)):
        print(json.dumps(value, ensure_ascii=False, indent=2, default=str)[:3000])
    else:
        pprint(value)


def main():
    snapshot = query_trader_all_info(RISK_PLATFORM_HOST, "10911", ACCOUNT, "580914", "fund")
    show("live fund figures (Stravenor)", snapshot)
    positions = query_trader_all_info(RISK_PLATFORM_HOST, "10911", ACCOUNT, "580914", "position")
    show("live position records (Stravenor)", positions)

    print("\n== constructing Pelmora(%r, ...)" % ACCOUNT)
    account = Pelmora(ACCOUNT, KEY, USER)
    print(f"login={account.login} connect_tag={account.connect_tag} "
          f"if_copy={account.if_copy} copy_account_id={getattr(account, 'copy_account_id', None)}")

    show("live position summary", account.fun_read_position())

    deals = account.fun_read_deal(*WEEK, as_frame=True)  # "data": a DataFrame
    print(f"\n== deals {WEEK[0]}..{WEEK[1]}: code={deals['code']} msg={deals['msg']} rows={len(deals.get('data', []))}")
    if deals["code"] == 0:
        print(deals["data"].head(8).to_string())

    show(f"equity {WEEK[0]}..{WEEK[1]}", account.fun_read_equity(*WEEK))
    upload_signals(account)
    status_and_cache(account)
    split_modes(account)
    show_research(account)
    show_notebook()


def show_notebook():
    notebook = os.path.relpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "tour.ipynb"))
    print(f"\n== The same tour as a notebook, with the equity chart, signals, split modes and research tables:"
          f"\n   {notebook}  (open it in Jupyter with the local stack running)")


def upload_signals(account):
    """A small signal table for the demo account, replicated to its copy account, read back."""
    table = [
        {"trading_day": SIGNAL_DAY, "contract": "rb2501", "position": 3, "direction": "L",
         "order_typ": "intraday_trading", "trade_time": "D"},
        {"trading_day": SIGNAL_DAY, "contract": "cu2411", "position": 1, "direction": "S",
         "order_typ": "call_auction", "trade_time": "N"},
        {"trading_day": SIGNAL_DAY, "contract": "au2412", "position": 2, "direction": "X",
         "order_typ": "before_close", "trade_time": ""},  # not L/S: dropped
    ]
    show(f"signal upload for {SIGNAL_DAY} (copy account {account.copy_account_id})",
         account.fun_update_signal(table, use_redis=True))
    show("same upload again", account.fun_update_signal(table, use_redis=True))
    show(f"signals of {account.account_id}", account.fun_read_signal(SIGNAL_DAY, SIGNAL_DAY))
    copy = Pelmora(COPY, COPY_KEY, USER)
    show(f"signals of the copy account {COPY}", copy.fun_read_signal(SIGNAL_DAY, SIGNAL_DAY))


def show_research(account):
    factors = Pelmora.factors_value_vesk("value", *WEEK)
    print(f"\n== factor values (ten-factor list) {WEEK[0]}..{WEEK[1]}: code={factors['code']}")
    if factors["code"] == 0:
        table = factors["data"].pivot_table(index="factor", columns="commodity", values="value", aggfunc="mean")
        print(table.round(3).to_string())
    else:
        print(factors["msg"])

    breakdown = account.post_trade_analysis(*WEEK)
    print(f"\n== post-trade breakdown {WEEK[0]}..{WEEK[1]}: code={breakdown['code']}")
    print(breakdown["data"].round(2).to_string(index=False) if breakdown["code"] == 0 else breakdown["msg"])


def split_modes(account):
    """The selectable split modes; one of them in force for an hour, then back to the standing ones."""
    available = account.fun_search_split_mode("available")
    print(f"\n== selectable split modes: code={available['code']}")
    for row in available.get("data", []):
        print("  ", row)
    if not available.get("data"):
        return
    mode = available["data"][0]["拆单方式ID"]
    show(f"set split mode {mode} for one hour", account.fun_set_split_mode(mode, 1))
    show("split mode in force", account.fun_search_split_mode("current"))
    show("back to the standing split mode", account.fun_back_to_default_split_mode())
    show("split mode in force", account.fun_search_split_mode())


def status_and_cache(account):
    """Switches trading off and straight back on, so the account is left trading, then shows
    the register's latest versions and the live cache's position entry."""
    print("\n== trading switch")
    off = account.fun_update_sts(False)
    print("  off:", off)
    if off["code"] == 0:
        print("  on: ", account.fun_update_sts(True))
    versions = account.client.query(
        "SELECT trade_flag, env, zip_begindate, zip_enddate FROM factors.t_account_info "
        f"WHERE account_id = '{ACCOUNT}' AND acquire_info_key = '{KEY}' "
        "ORDER BY zip_begindate DESC, zip_enddate DESC, env LIMIT 6")
    print("  latest register versions (trade_flag, env, begin, end):")
    for row in versions.result_set:
        print("    ", row)
    show("live cache position", account.fun_redis_position())


if __name__ == "__main__":
    main()
