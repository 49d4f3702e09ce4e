"""The store's user rights, decided on the statement as the engine parses it.

The engine's own parser is asked (EXPLAIN AST), so comments, parentheses, WITH clauses,
quoting or letter case cannot hide what a statement does. Refused:

- for read-only requests (the read-only user, GET, readonly=1): every statement that is not
  a read, and any change of settings (SET, a SETTINGS clause), as ClickHouse does for
  readonly=1 (code 164);
- for every user: INTO OUTFILE and FROM INFILE wherever they stand (found in the statement's
  words too, since the syntax tree of SHOW or EXPLAIN does not show them), and the functions, table engines, dictionary sources and
  backup targets that reach the machine or the network (files, URLs, object stores,
  other servers, programs, embedded Python): the front stands in for a server that grants
  none of them; VALUES rows are data the engine evaluates, so calls in them are checked too.
"""
from __future__ import annotations

import re
from dataclasses import dataclass

from .errors import ACCESS_DENIED, INTO_OUTFILE_NOT_ALLOWED, READONLY, ClickHouseError
from .sqltext import LexError, calls, tokens

EXPLAIN_PREFIX = "EXPLAIN AST "

# Root nodes of statements that only read.
_READ_ROOTS = ("Select", "Show", "Describe", "Exists", "Explain", "Check", "Use")

# Lower-case names (table functions, table and database engines, dictionary sources, backup
# targets, the scalar file()) that reach outside the store; families by prefix.
_OUTSIDE_NAMES = frozenset({
    "file", "filecluster", "filesystem", "filelog", "url", "urlcluster", "http", "executable",
    "executablepool", "executable_pool", "python", "arrowstream", "eval", "remote", "remotesecure",
    "cluster", "clusterallreplicas", "distributed", "clickhouse", "mysql", "materializedmysql",
    "postgresql", "materializedpostgresql", "mongodb", "redis", "sqlite", "jdbc", "odbc", "kafka",
    "rabbitmq", "nats", "hive", "gcs", "oss", "cosn", "bigquery", "elasticsearch", "ytsaurus",
    "arrowflight", "disk", "cassandra",
})
_OUTSIDE_PREFIXES = ("s3", "hdfs", "azure", "iceberg", "deltalake", "hudi", "paimon", "prometheusquery")

_POSITION = re.compile(r"(position )(\d+)")


@dataclass(frozen=True)
class Node:
    depth: int
    kind: str  # first word: "Function", "SelectWithUnionQuery", "Literal", "Set", ...
    name: str  # the function, engine or source name of a function node, else ""


def parse_ast(text: str) -> list[Node]:
    """Nodes of an EXPLAIN AST answer, in order, with their depth."""
    nodes = []
    for line in text.splitlines():
        if not line.strip():
            continue
        depth = len(line) - len(line.lstrip(" "))
        words = line.split()
        is_function = words[0] in ("Function", "FunctionWithKeyValueArguments") and len(words) > 1
        nodes.append(Node(depth, words[0], words[1] if is_function else ""))
    return nodes


def reaches_outside(name: str) -> bool:
    low = name.lower()
    return low in _OUTSIDE_NAMES or low.startswith(_OUTSIDE_PREFIXES)


def _writes_a_file(nodes: list[Node]) -> bool:
    """INTO OUTFILE: a literal directly under a SelectWithUnionQuery (its file name)."""
    for i, node in enumerate(nodes):
        if node.kind != "SelectWithUnionQuery":
            continue
        for child in nodes[i + 1:]:
            if child.depth <= node.depth:
                break
            if child.depth == node.depth + 1 and child.kind == "Literal":
                return True
    return False


def _only_reads(nodes: list[Node]) -> bool:
    return bool(nodes) and nodes[0].kind.startswith(_READ_ROOTS) and not any(n.kind == "Set" for n in nodes)


def _file_clause(text: str) -> str | None:
    """"INTO OUTFILE" or "FROM INFILE" where the words stand in the statement (outside quotes and comments)."""
    prev = ""
    try:
        for tok in tokens(text):
            word = tok.text.upper() if tok.kind == "word" else ""
            if (prev, word) in (("INTO", "OUTFILE"), ("FROM", "INFILE")):
                return f"{prev} {word}"
            prev = word
    except LexError:
        pass  # the engine's parser has already accepted the words before it
    return None


def _refuse_outside(user: str, name: str) -> ClickHouseError:
    return ClickHouseError.of(
        ACCESS_DENIED,
        f"{user}: Not enough privileges. '{name}' reaches files, programs or other servers, "
        "which no user of this server may do",
    )


def check(nodes: list[Node], user: str, readonly: bool, readonly_hint: str = "", text: str = "") -> None:
    """Raises the refusal for a statement (nodes: its syntax tree, text: its words) the request may not run."""
    outside = next((n.name for n in nodes if n.name and reaches_outside(n.name)), None)
    clause = _file_clause(text)
    if clause == "FROM INFILE":
        outside = outside or clause
    writes_file = _writes_a_file(nodes) or clause == "INTO OUTFILE"
    if readonly and (outside or writes_file or not _only_reads(nodes)):
        raise ClickHouseError.of(READONLY, f"{user}: Cannot execute query in readonly mode.{readonly_hint}")
    if writes_file:
        raise ClickHouseError.of(INTO_OUTFILE_NOT_ALLOWED, "INTO OUTFILE is not allowed")
    if outside:
        raise _refuse_outside(user, outside)


def check_rows(values: str, user: str) -> None:
    """Refuses VALUES rows that call a function reaching outside (the engine would evaluate it)."""
    outside = next((name for name in calls(values) if reaches_outside(name)), None)
    if outside:
        raise _refuse_outside(user, outside)


def unshift_error(err: ClickHouseError) -> ClickHouseError:
    """An error of the EXPLAIN request, with positions counted in the statement itself."""

    def back(m: re.Match) -> str:
        return m.group(1) + str(max(1, int(m.group(2)) - len(EXPLAIN_PREFIX)))

    return ClickHouseError(err.code, err.name, _POSITION.sub(back, err.message))
