"""Just enough lexing of statement texts to route them: statement kind, trailing FORMAT,
statement boundaries and the start of inline INSERT data.

Quoted strings and identifiers and comments are skipped the way ClickHouse's lexer does,
so semicolons or keywords inside them are not mistaken for structure.
"""
from __future__ import annotations

from dataclasses import dataclass
from typing import Iterator


@dataclass(frozen=True)
class Token:
    kind: str  # "word", "quoted", "punct", "semicolon", "open", "close"
    text: str
    start: int
    end: int


class LexError(ValueError):
    pass


def _skip_quoted(text: str, pos: int, quote: str) -> int:
    """Position after the quoted run starting at pos (backslash escapes, doubled quotes)."""
    i = pos + 1
    n = len(text)
    while i < n:
        c = text[i]
        if c == "\\":
            i += 2
            continue
        if c == quote:
            if i + 1 < n and text[i + 1] == quote:
                i += 2
                continue
            return i + 1
        i += 1
    raise LexError(f"unterminated quoted text starting at position {pos}")


def _skip_block_comment(text: str, pos: int) -> int:
    depth = 0
    i = pos
    n = len(text)
    while i < n:
        if text.startswith("/*", i):
            depth += 1
            i += 2
        elif text.startswith("*/", i):
            depth -= 1
            i += 2
            if depth == 0:
                return i
        else:
            i += 1
    raise LexError(f"unterminated comment starting at position {pos}")


def tokens(text: str, start: int = 0) -> Iterator[Token]:
    """Tokens of text from start on; white space and comments are dropped."""
    i = start
    n = len(text)
    while i < n:
        c = text[i]
        if c.isspace():
            i += 1
        elif text.startswith("--", i) or (c == "#" and text[i + 1 : i + 2] in (" ", "!")):
            nl = text.find("\n", i)
            i = n if nl < 0 else nl + 1
        elif text.startswith("/*", i):
            i = _skip_block_comment(text, i)
        elif c in "'\"`":
            end = _skip_quoted(text, i, c)
            yield Token("quoted", text[i:end], i, end)
            i = end
        elif c.isalnum() or c == "_" or c == "$":
            j = i + 1
            while j < n and (text[j].isalnum() or text[j] in "_$"):
                j += 1
            yield Token("word", text[i:j], i, j)
            i = j
        elif c == ";":
            yield Token("semicolon", c, i, i + 1)
            i += 1
        elif c in "([":
            yield Token("open", c, i, i + 1)
            i += 1
        elif c in ")]":
            yield Token("close", c, i, i + 1)
            i += 1
        else:
            yield Token("punct", c, i, i + 1)
            i += 1


def split_statements(text: str) -> list[str]:
    """The statements of a script, split at top-level semicolons; empty ones dropped."""
    out: list[str] = []
    start = 0
    for tok in tokens(text):
        if tok.kind == "semicolon":
            out.append(text[start : tok.start])
            start = tok.end
    out.append(text[start:])
    return [s.strip() for s in out if next(tokens(s), None) is not None]


# Statements whose answer is a result set (and so carries an output format).
RESULT_KINDS = frozenset({"SELECT", "WITH", "SHOW", "DESCRIBE", "DESC", "EXISTS", "EXPLAIN", "CHECK", "VALUES"})


@dataclass
class Statement:
    """One statement of a request, with what the server needs to know about it."""

    text: str  # the statement itself, without a trailing semicolon
    kind: str  # first keyword, upper case ("" when empty)
    output_format: str | None = None  # FORMAT clause of a result statement
    text_without_format: str = ""  # text before that FORMAT clause
    insert_format: str | None = None  # FORMAT clause of an INSERT
    insert_head: str = ""  # INSERT text before "FORMAT name"
    insert_data: str = ""  # inline data after "FORMAT name" (or after VALUES)
    values_clause: bool = False  # the data are SQL rows after VALUES, part of the statement text


def _insert_data_start(text: str, pos: int) -> int:
    """Inline data starts after blanks and one line break following the format name."""
    n = len(text)
    while pos < n and text[pos] in " \t":
        pos += 1
    if pos < n and text[pos] == "\r":
        pos += 1
    if pos < n and text[pos] == "\n":
        pos += 1
    return pos


def parse_request(text: str) -> Statement:
    """The single statement of a request text.

    Inline INSERT data (after FORMAT name, or after VALUES) is data, never statement text:
    FORMAT data is the rest of the request as sent; VALUES rows are SQL literals, so a
    second statement after them is still refused.

    Raises LexError for texts the lexer cannot follow (the engine then reports the
    real syntax error) and MultiStatementError when more than one statement is sent.
    """
    toks: list[Token] = []
    depth = 0
    kind = ""  # the first keyword, also when the statement opens with parentheses
    inserting = False  # INSERT INTO seen at the top level (also after a WITH clause)
    values_at: Token | None = None  # the VALUES keyword that starts inline rows
    for tok in tokens(text):
        word = tok.text.upper() if tok.kind == "word" else ""
        if not kind and word:
            kind = word
        if depth == 0 and word == "INSERT" and not inserting and (kind == "INSERT" or _next_word(text, tok) == "INTO"):
            inserting = True
            kind = "INSERT"
        elif inserting and depth == 0 and word == "FORMAT" and values_at is None:
            fmt = next(tokens(text, tok.end), None)
            if fmt is None or fmt.kind != "word":
                break
            return Statement(
                text=text,
                kind=kind,
                insert_format=fmt.text,
                insert_head=text[: tok.start].rstrip(),
                insert_data=text[_insert_data_start(text, fmt.end):],
            )
        elif inserting and depth == 0 and word in ("SELECT", "WITH") and values_at is None:
            inserting = False  # INSERT ... SELECT: the rows come from the query
            kind = "INSERT"
        elif inserting and depth == 0 and word == "VALUES" and values_at is None:
            values_at = tok
        if tok.kind == "open":
            depth += 1
        elif tok.kind == "close":
            depth = max(0, depth - 1)
        elif tok.kind == "semicolon" and depth == 0:
            rest = next(tokens(text, tok.end), None)
            if rest is not None and rest.kind != "semicolon":
                raise MultiStatementError(tok.start, text[tok.start :])
            text = text[: tok.start]
            break
        toks.append(tok)
    stmt = Statement(text=text, kind=kind, text_without_format=text)
    if values_at is not None:
        stmt.insert_format = "Values"
        stmt.values_clause = True
        stmt.insert_head = text[: values_at.start].rstrip()
        stmt.insert_data = text[values_at.end :]
    elif kind in RESULT_KINDS:
        if len(toks) >= 2 and toks[-2].kind == "word" and toks[-2].text.upper() == "FORMAT" and toks[-1].kind == "word":
            stmt.output_format = toks[-1].text
            stmt.text_without_format = text[: toks[-2].start]
    return stmt


def only_rows(values: str) -> bool:
    """VALUES text is rows only: parenthesised groups separated by commas, nothing between them."""
    depth = 0
    expect_row = True
    try:
        for tok in tokens(values):
            if depth == 0:
                if tok.kind == "open" and tok.text == "(" and expect_row:
                    expect_row = False
                elif tok.kind == "punct" and tok.text == "," and not expect_row:
                    expect_row = True
                else:
                    return False
            if tok.kind == "open":
                depth += 1
            elif tok.kind == "close":
                depth -= 1
    except LexError:
        return False
    return depth == 0 and not expect_row


def _next_word(text: str, tok: Token) -> str:
    nxt = next(tokens(text, tok.end), None)
    return nxt.text.upper() if nxt is not None and nxt.kind == "word" else ""


def calls(text: str) -> Iterator[str]:
    """Names of the function calls (a name right before "(") in SQL-like text such as VALUES rows.

    Stops quietly where the text no longer lexes: the engine refuses such data anyway.
    """
    prev: Token | None = None
    try:
        for tok in tokens(text):
            if tok.kind == "open" and prev is not None:
                if prev.kind == "word":
                    yield prev.text
                elif prev.kind == "quoted" and prev.text[0] in "`\"":  # a quoted name calls too
                    yield prev.text[1:-1]
            prev = tok
    except LexError:
        return


class MultiStatementError(ValueError):
    def __init__(self, position: int, rest: str):
        super().__init__(position)
        self.position = position
        self.rest = rest
