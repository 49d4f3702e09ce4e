"""Demo against the local stack (`make demo` starts it first): a live snapshot straight
from the platform, then a Pelmora object for the demo production account with its live
position summary, a week of its deals and equity, its trading switch turned off and on
again, and its position as the live cache holds it."""
import json
from pprint import pprint

from pelmora.Pelmora import Pelmora, RISK_PLATFORM_HOST
from pelmora.Stravenor import query_trader_all_info

ACCOUNT, KEY, USER = "80050021", "k-80050021", "trader01"
WEEK = ("20240923", "20240927")


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

    deals = account.fun_read_deal(*WEEK)
    print(f"\n== deals {WEEK[0]}..{WEEK[1]}: code={deals['code']} msg={deals['msg']} rows={len(deals.get('data', []))}")
    for row in deals.get("data", [])[:8]:
        print("  ", row)

    show(f"equity {WEEK[0]}..{WEEK[1]}", account.fun_read_equity(*WEEK))
    status_and_cache(account)


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
