"""Demo against the local stack (`make demo` starts it first): a live snapshot straight
from the platform, then a Pelmora object for the demo production account with its live
position summary, a week of its deals and equity, and a temporary split-mode switch."""
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

    split_modes(account)


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


if __name__ == "__main__":
    main()
