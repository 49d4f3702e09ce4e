"""Routing of statement texts and engine error texts (no server needed)."""
from __future__ import annotations

import pytest

from services.clickhouse_http.errors import ClickHouseError
from services.clickhouse_http.sqltext import (
    LexError, MultiStatementError, calls, only_rows, parse_request, split_statements,
)


@pytest.mark.parametrize(
    "text, kind, fmt, without_format",
    [
        ("SELECT 1", "SELECT", None, "SELECT 1"),
        ("select 1\n FORMAT Native", "SELECT", "Native", "select 1\n "),
        ("SELECT 1 FORMAT Native;  ", "SELECT", "Native", "SELECT 1 "),
        # FORMAT inside a comment, a string or a quoted name is not a clause
        ("SELECT 1 -- FORMAT JSON\n", "SELECT", None, "SELECT 1 -- FORMAT JSON\n"),
        ("SELECT 'x FORMAT JSON'", "SELECT", None, "SELECT 'x FORMAT JSON'"),
        ("SELECT 1 AS `FORMAT` /* FORMAT CSV */", "SELECT", None, "SELECT 1 AS `FORMAT` /* FORMAT CSV */"),
        ("(SELECT 1) UNION ALL (SELECT 2) FORMAT TSV", "SELECT", "TSV", "(SELECT 1) UNION ALL (SELECT 2) "),
        ("  with x AS (SELECT 1) SELECT * FROM x", "WITH", None, "  with x AS (SELECT 1) SELECT * FROM x"),
        ("ALTER TABLE t UPDATE a = 'b;c' WHERE 1", "ALTER", None, "ALTER TABLE t UPDATE a = 'b;c' WHERE 1"),
        ("-- heading\n INSERT into t (a) values ('x'); ", "INSERT", None, "-- heading\n INSERT into t (a) values ('x')"),
    ],
)
def test_statement_kind_and_output_format(text, kind, fmt, without_format):
    stmt = parse_request(text)
    assert stmt.kind == kind
    assert stmt.output_format == fmt
    assert stmt.text_without_format == without_format


def test_insert_data_starts_after_one_line_break():
    # Native data may begin with bytes that look like blanks or separators.
    stmt = parse_request("INSERT INTO t (`a`, `b`) FORMAT Native\n\n\x02;\x00rest")
    assert (stmt.kind, stmt.insert_format) == ("INSERT", "Native")
    assert stmt.insert_head == "INSERT INTO t (`a`, `b`)"
    assert stmt.insert_data == "\n\x02;\x00rest"


@pytest.mark.parametrize(
    "text, head, fmt, data",
    [
        # everything after FORMAT name is data: blank lines and semicolons end nothing
        ("INSERT INTO t FORMAT TSV\na\n\nINSERT INTO t SELECT 1;\n", "INSERT INTO t", "TSV",
         "a\n\nINSERT INTO t SELECT 1;\n"),
        ("WITH 1 AS y INSERT INTO t (s) FORMAT TabSeparated\nv;\n", "WITH 1 AS y INSERT INTO t (s)", "TabSeparated",
         "v;\n"),
        # VALUES rows are data too, up to a trailing semicolon
        ("INSERT INTO t SETTINGS a = 1 VALUES ('x;'), (2);", "INSERT INTO t SETTINGS a = 1", "Values", " ('x;'), (2)"),
        ("insert into t (`values`) values (1)", "insert into t (`values`)", "Values", " (1)"),
        # rows from a query are no inline data
        ("INSERT INTO t SELECT * FROM VALUES('x Int8', 1)", "", None, ""),
        ("INSERT INTO t WITH 1 AS v SELECT v", "", None, ""),
        ("WITH 1 AS insert SELECT insert", "", None, ""),
    ],
)
def test_inline_insert_data_is_found_after_format_or_values(text, head, fmt, data):
    stmt = parse_request(text)
    assert (stmt.insert_head, stmt.insert_format, stmt.insert_data) == (head, fmt, data)


@pytest.mark.parametrize("text, names", [
    ("(1, 'file(x)'), (now(), file('/etc/x')), (`url` ('y'))", ["now", "file", "url"]),
    ("(1) /* s3('z') */, (-- remote(\n 2)", []),
    ("('open", []),
])
def test_calls_are_found_outside_quotes_and_comments(text, names):
    assert list(calls(text)) == names


@pytest.mark.parametrize("values, rows_only", [
    (" (1, 'a'), ({x:UInt8}, f(2, (3)))", True),
    ("(1)\n\n, (2) -- end", True),
    ("(1)\n\nDROP TABLE t", False),
    ("(1) (2)", False),
    ("(1),", False),
    ("(1", False),
    ("('open)", False),
    ("", False),
])
def test_values_rows_and_nothing_else(values, rows_only):
    assert only_rows(values) is rows_only


@pytest.mark.parametrize(
    "text",
    ["SELECT 1; SELECT 2", "INSERT INTO t VALUES (1); DROP TABLE t", "SELECT ';'; SELECT 2"],
)
def test_second_statement_is_refused(text):
    with pytest.raises(MultiStatementError):
        parse_request(text)


@pytest.mark.parametrize("text", ["SELECT 1;", "SELECT 1;;", "SELECT 1; -- done", "SELECT 1; /* end */ "])
def test_trailing_semicolons_and_comments_are_one_statement(text):
    assert parse_request(text).text.rstrip() == "SELECT 1"


@pytest.mark.parametrize("text", ["SELECT 'open", "SELECT 1 /* open", 'SELECT "open'])
def test_unterminated_text_is_a_lex_error(text):
    with pytest.raises(LexError):
        parse_request(text)


def test_split_statements_keeps_semicolons_inside_quotes_and_comments():
    script = "CREATE TABLE a (x String DEFAULT ';');\n-- a; comment\n/* b; */\nCREATE TABLE b (y Int8);\n\n-- end\n"
    assert split_statements(script) == [
        "CREATE TABLE a (x String DEFAULT ';')",
        "-- a; comment\n/* b; */\nCREATE TABLE b (y Int8)",
    ]


@pytest.mark.parametrize(
    "engine_text, code, name, status, message",
    [
        ("Code: 60. DB::Exception: Unknown table expression identifier 'x.y' in scope SELECT. (UNKNOWN_TABLE)",
         60, "UNKNOWN_TABLE", 404, "Unknown table expression identifier 'x.y' in scope SELECT."),
        ("Code: 62. DB::Exception: Syntax error: failed at position 1. (SYNTAX_ERROR)",
         62, "SYNTAX_ERROR", 400, "Syntax error: failed at position 1."),
        ("Code: 241. DB::Exception: Memory limit exceeded. (MEMORY_LIMIT_EXCEEDED)",
         241, "MEMORY_LIMIT_EXCEEDED", 500, "Memory limit exceeded."),
        ("engine crashed", 1001, "STD_EXCEPTION", 500, "engine crashed"),
    ],
)
def test_engine_errors_keep_code_name_and_status(engine_text, code, name, status, message):
    err = ClickHouseError.from_engine(engine_text)
    assert (err.code, err.name, err.http_status, err.message) == (code, name, status, message)
    assert err.body("1.2.3") == f"Code: {code}. DB::Exception: {message} ({name}) (version 1.2.3)\n"
