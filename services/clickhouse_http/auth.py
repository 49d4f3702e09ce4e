"""Users of the store and how a request names one."""
from __future__ import annotations

import base64
import binascii
import hmac
from dataclasses import dataclass
from typing import Mapping

from .errors import AUTHENTICATION_FAILED, ClickHouseError


@dataclass(frozen=True)
class User:
    name: str
    password: str
    readonly: bool = False


class Users:
    def __init__(self, users: Mapping[str, tuple[str, bool]]):
        self._users = {name: User(name, pw, ro) for name, (pw, ro) in users.items()}

    def authenticate(self, headers: Mapping[str, str], params: Mapping[str, str]) -> User:
        """The user a request names, in ClickHouse's order of precedence; a request that
        names none is the user "default" with an empty password."""
        name, password = _credentials(headers, params)
        user = self._users.get(name)
        if user is None or not hmac.compare_digest(user.password.encode(), password.encode()):
            raise ClickHouseError.of(
                AUTHENTICATION_FAILED,
                f"{name}: Authentication failed: password is incorrect, or there is no user with such name.",
            )
        return user


def _credentials(headers: Mapping[str, str], params: Mapping[str, str]) -> tuple[str, str]:
    if headers.get("X-ClickHouse-User") is not None:
        return headers["X-ClickHouse-User"], headers.get("X-ClickHouse-Key", "")
    auth = headers.get("Authorization")
    if auth and auth[:6].lower() == "basic ":
        try:
            decoded = base64.b64decode(auth[6:].strip(), validate=True).decode("utf-8")
        except (binascii.Error, UnicodeDecodeError):
            decoded = ""
        name, _, password = decoded.partition(":")
        return name or "default", password
    if "user" in params:
        return params["user"], params.get("password", "")
    return "default", params.get("password", "")
