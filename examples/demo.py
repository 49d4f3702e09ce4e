"""Demo against the local stack (`make demo` starts it first): a live snapshot straight
from the platform, then a Pelmora object for the demo production account with its live
position summary and a week of its deals and equity."""
import json
import os
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

    notebook = os.path.relpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "tour.ipynb"))
    print(f"\n== The same tour as a notebook, with the equity chart, signals, split modes and research tables:"
          f"\n   {notebook}  (open it in Jupyter with the local stack running)")


if __name__ == "__main__":
    main()
