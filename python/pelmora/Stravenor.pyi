"""Live snapshot of an account from the risk-control platform."""

from typing import Any

def query_trader_all_info(
    ip: str, port: str, userid: str, password: str, option: str
) -> dict[str, Any]:
    """Log in as `userid` at `ip`:`port` and return one part of the account.

    `option` "fund": {"登录成功": bool, "data": {fund figures}};
    "position", "trade", "entrust": {"登录成功": bool, "data": [records]};
    anything else: {"登录成功": bool, "msg": "未知查询选项"}.
    Raises TypeError for an argument that is not a str and ValueError for
    one holding a NUL character; the platform is not contacted then.
    """
    ...
