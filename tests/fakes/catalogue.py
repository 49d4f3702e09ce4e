"""The statements the library can send: its registered templates with every marker standing for a
value of its kind. The stand-in store refuses anything else, as a server refuses what it cannot
parse, so a statement glued outside the templates fails the quick tests."""
from __future__ import annotations

import functools
import re

import pelmora.Pelmora as P

_QUOTED_MARKER = re.compile(r"'\\\{[a-z0-9_]+\\}'")
_NUMBER_MARKER = re.compile(r"\\\{\\#[a-z0-9_]+\\}")
_QUOTED_VALUE = r"'(?:[^'\\]|\\.)*'"
_NUMBER_VALUE = r"[-+0-9.eEinfna]+"
# What the caller writes after an opening: a list of literals or names, closed; after a column
# list, the rows' lists.
_ITEM = r"(?:" + _QUOTED_VALUE + r"|[^'(),]*)"
_LIST = _ITEM + r"(?:, " + _ITEM + r")*"
_LIST_TAIL = re.compile(_LIST + r"\)(?: values \(" + _LIST + r"(?:\), \(" + _LIST + r")*\))?\s*;?\s*", re.S)


def _pattern(template: str) -> str:
    escaped = re.escape(template)
    escaped = _QUOTED_MARKER.sub(lambda _: _QUOTED_VALUE, escaped)
    return _NUMBER_MARKER.sub(lambda _: _NUMBER_VALUE, escaped)


@functools.cache
def _templates() -> tuple[tuple[str, re.Pattern, bool], ...]:
    """(name, pattern, opens): a template that ends in "(" opens a list the caller writes on."""
    out = []
    for name in P._statement_names():
        text = P._statement(name)
        out.append((name, re.compile(_pattern(text), re.S), text.rstrip().endswith("(")))
    return tuple(out)


def _fits(pattern: re.Pattern, opens: bool, statement: str) -> bool:
    found = pattern.match(statement)
    if not found:
        return False
    rest = statement[found.end():]
    if opens:
        return _LIST_TAIL.fullmatch(rest) is not None
    rest = rest.lstrip()
    return not rest or any(o and _fits(p, o, rest) for _, p, o in _templates())


def template_of(statement: str) -> str | None:
    """The name of the template this statement was made from, or None for a statement the library
    does not make. A complete template may be followed by whitespace, or by an opening template
    and its list (the delete's contract list, for one); an opening by its list, and for an INSERT
    by its rows."""
    return next((name for name, pattern, opens in _templates() if _fits(pattern, opens, statement)), None)
