"""The ClickHouse-compatible store: HTTP protocol as clickhouse-connect uses it, errors, users."""
from __future__ import annotations

import base64
import concurrent.futures
import datetime as dt
import decimal
import gzip
import http.client
import json
import socket
import time
import urllib.parse
import uuid
from zoneinfo import ZoneInfo

import clickhouse_connect
import pytest
from clickhouse_connect.driver.exceptions import DatabaseError, ProgrammingError

from services import endpoints as ep
from services.clickhouse_http import compression

SCRATCH = "stack_scratch"


def http_request(query: str | None = None, body: bytes | str = b"", *, user: str | None = ep.CLICKHOUSE_USER,
                 password: str = ep.CLICKHOUSE_PASSWORD, params: dict | None = None, headers: dict | None = None,
                 method: str = "POST"):
    """One raw request to the store: (status, headers, body)."""
    query_params = dict(params or {})
    if query is not None:
        query_params["query"] = query
    hdrs = dict(headers or {})
    if user is not None:
        hdrs["Authorization"] = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
    conn = http.client.HTTPConnection(ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT, timeout=10)
    try:
        conn.request(method, "/?" + urllib.parse.urlencode(query_params),
                     body=body.encode() if isinstance(body, str) else body, headers=hdrs)
        resp = conn.getresponse()
        return resp.status, resp.headers, resp.read()
    finally:
        conn.close()


@pytest.fixture(scope="module")
def scratch(ch_client):
    """A table of its own for the protocol tests, so the demo data stays untouched."""
    ch_client.command(f"DROP DATABASE IF EXISTS {SCRATCH} SYNC")
    ch_client.command(f"CREATE DATABASE {SCRATCH}")
    ch_client.command(
        f"CREATE TABLE {SCRATCH}.t (a String, b Nullable(Int64), n Int64, x Float64, d DateTime) "
        "ENGINE = MergeTree ORDER BY a"
    )
    yield f"{SCRATCH}.t"
    ch_client.command(f"DROP DATABASE IF EXISTS {SCRATCH} SYNC")


@pytest.fixture
def table(scratch, ch_client):
    ch_client.command(f"TRUNCATE TABLE {scratch}")
    return scratch


def test_get_client_query_and_command_round_trip(stack):
    client = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                           username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD)
    try:
        assert client.server_version
        result = client.query("SELECT count(*) FROM factors.t_account_info")
        assert result.column_names == ("count()",)
        assert result.result_set == [(len(stack.data.clickhouse["factors.t_account_info"].rows),)]
        assert client.command("SELECT 7, 'x'") == ["7", "x"]
        assert client.command("SELECT 42") == 42
    finally:
        client.close()


@pytest.mark.parametrize(
    "user, password",
    [
        (ep.CLICKHOUSE_USER, "wrong"),
        (ep.CLICKHOUSE_USER, ""),
        ("nobody", ep.CLICKHOUSE_PASSWORD),
        (ep.RESEARCH_USER, ep.CLICKHOUSE_PASSWORD),  # another user's password
        (None, ""),  # no credentials at all: user "default", which the store does not have
    ],
)
def test_bad_credentials_get_authentication_failed(stack, user, password):
    status, headers, body = http_request("SELECT 1", user=user, password=password)
    assert status == 403
    assert headers["X-ClickHouse-Exception-Code"] == "516"
    text = body.decode()
    assert text.startswith(f"Code: 516. DB::Exception: {user or 'default'}: Authentication failed")
    assert "(AUTHENTICATION_FAILED)" in text


def test_get_client_with_wrong_password_raises_clickhouse_error(stack):
    with pytest.raises(DatabaseError) as info:
        clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                      username=ep.CLICKHOUSE_USER, password="Ramblex_qp_5")
    assert info.value.code == 516
    assert "AUTHENTICATION_FAILED" in str(info.value)


@pytest.mark.parametrize("how", ["headers", "url"])
def test_credentials_by_clickhouse_headers_or_url(stack, how):
    if how == "headers":
        status, _, body = http_request("SELECT 1", user=None, headers={
            "X-ClickHouse-User": ep.RESEARCH_USER, "X-ClickHouse-Key": ep.RESEARCH_PASSWORD})
    else:
        status, _, body = http_request("SELECT 1", user=None, params={
            "user": ep.RESEARCH_USER, "password": ep.RESEARCH_PASSWORD})
    assert (status, body) == (200, b"1\n")


def test_ping_needs_no_credentials(stack):
    status, _, body = http_request(user=None, method="GET")
    assert (status, body) == (200, b"Ok.\n")


@pytest.mark.parametrize(
    "statement",
    [
        "INSERT INTO {t} (a, n, x, d) VALUES ('r', 1, 1.0, now())",
        "ALTER TABLE {t} UPDATE n = 2 WHERE 1",
        "CREATE TABLE {t}_new (a String) ENGINE = MergeTree ORDER BY a",
        "DROP TABLE {t}",
        "TRUNCATE TABLE {t}",
    ],
)
def test_research_user_reads_but_cannot_write(table, research_client, ch_client, statement):
    ch_client.command(f"INSERT INTO {table} (a, n, x, d) VALUES ('kept', 1, 1.0, now())")
    with pytest.raises(DatabaseError) as info:
        research_client.command(statement.format(t=table))
    assert info.value.code == 164
    assert "readonly" in str(info.value)
    assert research_client.query(f"SELECT a, n FROM {table}").result_set == [("kept", 1)]


@pytest.mark.parametrize("method, params", [("POST", {"readonly": "1"}), ("GET", {})])
def test_read_only_requests_refuse_writes(table, ch_client, method, params):
    status, headers, body = http_request(f"INSERT INTO {table} (a, n, x, d) VALUES ('r', 1, 1.0, now())",
                                         params=params, method=method)
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (500, "164")
    assert "readonly" in body.decode()
    assert ch_client.command(f"SELECT count() FROM {table}") == 0
    status, _, body = http_request(f"SELECT count() FROM {table}", params=params, method=method)
    assert (status, body) == (200, b"0\n")


@pytest.mark.parametrize(
    "query, code, name, status",
    [
        (f"SELECT * FROM {SCRATCH}.missing", 60, "UNKNOWN_TABLE", 404),
        ("SELECT * FROM no_such_db.t", 81, "UNKNOWN_DATABASE", 404),
        ("SELEC 1", 62, "SYNTAX_ERROR", 400),
        ("SELECT no_such_function(1)", 46, "UNKNOWN_FUNCTION", 404),
        ("SELECT 1; SELECT 2", 62, "SYNTAX_ERROR", 400),
        ("SELECT toDate('abcdefgh')", 38, "CANNOT_PARSE_DATE", 400),
        ("SELECT throwIf(1)", 395, "FUNCTION_THROW_IF_VALUE_IS_NON_ZERO", 500),
    ],
)
def test_errors_in_clickhouse_form(scratch, ch_client, query, code, name, status):
    got_status, headers, body = http_request(query)
    text = body.decode()
    assert got_status == status
    assert headers["X-ClickHouse-Exception-Code"] == str(code)
    assert text.startswith(f"Code: {code}. DB::Exception: ")
    assert f"({name}) (version " in text
    with pytest.raises(DatabaseError) as info:
        ch_client.query(query)
    assert info.value.code == code
    assert name in str(info.value)


def test_multi_statement_runs_nothing(table, ch_client):
    with pytest.raises(DatabaseError):
        ch_client.command(f"INSERT INTO {table} (a, n, x, d) VALUES ('one', 1, 1, now()); SELECT 1")
    assert ch_client.command(f"SELECT count() FROM {table}") == 0


def test_result_headers(stack):
    status, headers, _ = http_request("SELECT 1 AS n FORMAT Native", params={"query_id": "q-fixed-1"})
    assert status == 200
    assert headers["X-ClickHouse-Format"] == "Native"
    assert headers["X-ClickHouse-Query-Id"] == "q-fixed-1"
    assert headers["X-ClickHouse-Timezone"]
    assert headers["X-ClickHouse-Server-Display-Name"]
    summary = json.loads(headers["X-ClickHouse-Summary"])
    assert {"read_rows", "read_bytes", "written_rows", "written_bytes", "elapsed_ns"} <= set(summary)


def test_statement_without_result_has_no_format_header(table):
    status, headers, body = http_request(f"INSERT INTO {table} (a, n, x, d) VALUES ('h', 1, 1, now())")
    assert (status, body) == (200, b"")
    assert "X-ClickHouse-Format" not in headers
    assert json.loads(headers["X-ClickHouse-Summary"])["written_rows"] == "1"


@pytest.mark.parametrize("encoding", sorted(compression.CODECS))
def test_response_compressed_as_the_client_asks(stack, encoding):
    query = "SELECT number, toString(number) FROM numbers(2000) FORMAT TabSeparated"
    _, _, plain = http_request(query)
    status, headers, body = http_request(query, params={"enable_http_compression": "1"},
                                         headers={"Accept-Encoding": f"br, {encoding}"})
    assert status == 200
    assert headers["Content-Encoding"] == encoding
    assert compression.decode(body, encoding) == plain
    assert len(body) < len(plain)


def test_no_compression_unless_enabled(stack):
    _, headers, body = http_request("SELECT 1", headers={"Accept-Encoding": "gzip"})
    assert "Content-Encoding" not in headers
    assert body == b"1\n"


@pytest.mark.parametrize("compress", [False, "lz4", "zstd", "gzip"])
def test_native_insert_and_query_with_each_compression(table, compress):
    client = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                           username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD,
                                           compress=compress)
    try:
        rows = [(f"k{i:03d}", None if i % 3 else i, i, i / 4, dt.datetime(2024, 9, 2, 9, 0, i % 60))
                for i in range(300)]
        client.insert(table, rows, column_names=["a", "b", "n", "x", "d"])
        got = client.query(f"SELECT a, b, n, x, d FROM {table} ORDER BY a").result_set
        assert got == rows
    finally:
        client.close()


def test_empty_result_is_sent_as_the_engine_wrote_it(table, ch_client):
    # A server sends no Native block when no row passed the filter, so a client sees no columns.
    query = f"SELECT a, n AS renamed, d FROM {table} WHERE n > 100"
    assert http_request(query + " FORMAT Native")[::2] == (200, b"")
    result = ch_client.query(query)
    assert (result.column_names, result.result_set) == ((), [])
    assert ch_client.raw_query(query, fmt="Native") == b""
    # Text formats keep what the engine writes for no rows: the header line of ...WithNames.
    assert http_request(query + " FORMAT TSVWithNames")[::2] == (200, b"a\trenamed\td\n")


def test_insert_values_text_through_command(table, ch_client):
    # The library's INSERT texts: host literals, a trailing semicolon, blanks around.
    ch_client.command(f" INSERT into {table} (a, b, n, x, d) values ('semi; colon', NULL, 3, 2.5, "
                      f"'2024-09-05 09:30:00'); ")
    ch_client.command(f'INSERT into {table} ("a", "n", "x", "d") values (\'float-int\', 3.0, 7, '
                      f"'2024-09-05 09:31:00');")
    assert ch_client.query(f"SELECT a, b, n, x FROM {table} ORDER BY a").result_set == [
        ("float-int", None, 3, 7.0),
        ("semi; colon", None, 3, 2.5),
    ]


def test_mutation_applies_before_the_next_statement_and_only_to_existing_rows(table, ch_client):
    ch_client.command(f"INSERT INTO {table} (a, n, x, d) VALUES ('old1', 1, 0, now()), ('old2', 1, 0, now())")
    ch_client.command(f"ALTER TABLE {table} UPDATE b = 2 WHERE n = 1 and b is null")
    ch_client.command(f"INSERT INTO {table} (a, n, x, d) VALUES ('new', 1, 0, now())")
    assert ch_client.query(f"SELECT a, b FROM {table} ORDER BY a").result_set == [
        ("new", None), ("old1", 2), ("old2", 2)]


def test_request_settings_do_not_leak_into_other_requests(stack, ch_client):
    probe = "SELECT value FROM system.settings WHERE name = 'max_block_size'"
    default = ch_client.command(probe)
    assert ch_client.command(probe, settings={"max_block_size": 777}) == 777
    assert ch_client.command(probe) == default


@pytest.mark.parametrize("name", ["no_such_setting", "max_threads = 1; DROP DATABASE factors; --"])
def test_unknown_setting_in_the_url_is_refused(stack, ch_client, name):
    status, headers, _ = http_request("SELECT 1", params={name: "1"})
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (404, "115")
    assert ch_client.command("EXISTS DATABASE factors") == 1


def test_set_lasts_for_its_session_only(stack):
    probe = "SELECT value FROM system.settings WHERE name = 'max_block_size'"
    first = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                          username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD)
    second = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                           username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD)
    try:
        default = second.command(probe)
        first.command("SET max_block_size = 4321")
        assert first.command(probe) == 4321
        assert second.command(probe) == default
        with pytest.raises(DatabaseError) as info:
            first.command("SET no_such_setting = 1")
        assert info.value.code == 115
    finally:
        first.close()
        second.close()


def test_server_side_query_parameters(stack, ch_client):
    result = ch_client.query("SELECT {name:String} AS s, {n:UInt32} + 1 AS m", parameters={"name": "盘中", "n": 41})
    assert result.result_set == [("盘中", 42)]


def test_concurrent_clients_each_see_their_own_settings_and_rows(table, ch_client):
    """Requests of several clients interleave on the one engine connection."""
    probe = "SELECT value FROM system.settings WHERE name = 'max_block_size'"

    def worker(n: int) -> list[str]:
        client = clickhouse_connect.get_client(host=ep.CENTRAL_HOST, port=ep.CLICKHOUSE_PORT,
                                               username=ep.CLICKHOUSE_USER, password=ep.CLICKHOUSE_PASSWORD)
        problems = []
        try:
            for i in range(15):
                client.command(f"INSERT INTO {table} (a, n, x, d) VALUES ('w{n}-{i}', {n}, {i}, now())")
                wanted = 1000 + n if n % 2 else None
                got = client.command(probe, settings={"max_block_size": wanted} if wanted else None)
                if wanted and got != wanted:
                    problems.append(f"worker {n} asked for {wanted}, engine had {got}")
                if not wanted and got in range(1000, 1010):
                    problems.append(f"worker {n} saw another request's setting {got}")
            return problems
        finally:
            client.close()

    with concurrent.futures.ThreadPoolExecutor(max_workers=6) as pool:
        results = list(pool.map(worker, range(6), timeout=60))
    assert [p for r in results for p in r] == []
    counts = dict(ch_client.query(f"SELECT n, count() FROM {table} GROUP BY n").result_set)
    assert counts == {n: 15 for n in range(6)}


# -- the front as a guard: user rights, body bounds, statement bytes ---------------------------

HOST_FILE = "/etc/hostname"
# Statements that reach the machine or the network, in forms that hide them from a first keyword.
OUTSIDE = [
    f"SELECT * FROM file('{HOST_FILE}', 'LineAsString')",
    f"SELECT file('{HOST_FILE}')",
    f"WITH x AS (SELECT * FROM file('{HOST_FILE}', 'LineAsString')) SELECT * FROM x",
    f"/* c */ (SELECT 1) UNION ALL (SELECT count() FROM `file`('{HOST_FILE}', 'LineAsString'))",
    f"SELECT * FROM FILE('{HOST_FILE}', 'LineAsString')",
    "SELECT * FROM url('http://127.0.0.1:9/', CSV, 'a String')",
    "SELECT * FROM s3('http://127.0.0.1:9/b/k.csv', CSV, 'a String')",
    "SELECT * FROM remote('127.0.0.1:9', system.one)",
    "SELECT * FROM executable('echo x', TSV, 'a String')",
    "INSERT INTO FUNCTION file('{out}', TSV, 'a String') SELECT 'x'",
    f"CREATE TABLE {SCRATCH}.host_file (a String) ENGINE = File(LineAsString, '{HOST_FILE}')",
    # inline rows are evaluated by the engine, and FROM INFILE reads on the server's side
    f"INSERT INTO {SCRATCH}.t (a) VALUES (file('{HOST_FILE}'))",
    f"INSERT INTO {SCRATCH}.t (a) VALUES ('x'), ((SELECT any(line) FROM file('{HOST_FILE}', 'LineAsString')))",
    f"INSERT INTO {SCRATCH}.t (a) FORMAT Values (file('{HOST_FILE}'))",
    f"INSERT INTO {SCRATCH}.t (a) FORMAT Values (`file` ('{HOST_FILE}'))",
    f"INSERT INTO {SCRATCH}.t (a) FROM INFILE '{HOST_FILE}' FORMAT LineAsString",
]
# INTO OUTFILE where the syntax tree does not show it
OUTFILES = [
    "SELECT 1 INTO OUTFILE '{out}'",
    "EXPLAIN SELECT 1 INTO OUTFILE '{out}'",
    "SHOW TABLES FROM system INTO OUTFILE '{out}'",
    "DESCRIBE TABLE system.one INTO OUTFILE '{out}'",
    "EXISTS TABLE system.one INTO OUTFILE '{out}' FORMAT TSV",
]
SETTING_CHANGES = ["SET max_threads = 1", "SELECT 1 SETTINGS max_threads = 1"]
# (who asks, statement, expected code): the read-only user and GET requests get 164, as readonly=1;
# everyone is refused INTO OUTFILE (358) and what reaches outside (497).
READ_ONLY = [(ep.RESEARCH_USER, "POST"), (ep.CLICKHOUSE_USER, "GET")]
GUARD_CASES = (
    [(who, sql, 164) for who in READ_ONLY for sql in OUTSIDE + SETTING_CHANGES + OUTFILES]
    + [((ep.CLICKHOUSE_USER, "POST"), sql, 497) for sql in OUTSIDE]
    + [((ep.CLICKHOUSE_USER, "POST"), sql, 358) for sql in OUTFILES + ["(SELECT 1) INTO OUTFILE '{out}' FORMAT CSV"]]
)
PASSWORDS = {ep.CLICKHOUSE_USER: ep.CLICKHOUSE_PASSWORD, ep.RESEARCH_USER: ep.RESEARCH_PASSWORD}


@pytest.mark.parametrize("who, statement, code", GUARD_CASES)
def test_guard_refuses_by_the_parsed_statement(scratch, tmp_path, who, statement, code):
    user, method = who
    out = tmp_path / "out.tsv"
    status, headers, body = http_request(statement.format(out=out), user=user, password=PASSWORDS[user],
                                         method=method)
    assert headers["X-ClickHouse-Exception-Code"] == str(code), body.decode()
    assert status == {164: 500, 358: 500, 497: 403}[code]
    assert body.decode().startswith(f"Code: {code}. DB::Exception: ")
    assert not out.exists()
    status, _, body = http_request(f"EXISTS TABLE {SCRATCH}.host_file")
    assert (status, body) == (200, b"0\n")
    with open(HOST_FILE) as f:
        host_text = f.read().strip()
    status, _, body = http_request(f"SELECT count() FROM {SCRATCH}.t WHERE position(a, {{h:String}}) > 0",
                                   params={"param_h": host_text})
    assert (status, body) == (200, b"0\n")  # no host file text landed in the table


@pytest.mark.parametrize("who", READ_ONLY)
@pytest.mark.parametrize("statement, answer", [
    ("WITH 2 AS x SELECT x", b"2\n"),
    ("/* c */ (SELECT 3)", b"3\n"),
    ("SHOW DATABASES LIKE 'factors'", b"factors\n"),
    ("EXISTS TABLE factors.t_account_info", b"1\n"),
    ("SELECT 'file(x) INTO OUTFILE' -- SETTINGS x = 1", b"file(x) INTO OUTFILE\n"),
])
def test_reads_stay_open_to_read_only_requests(stack, who, statement, answer):
    user, method = who
    status, _, body = http_request(statement, user=user, password=PASSWORDS[user], method=method)
    assert (status, body) == (200, answer)


def raw_exchange(head: str, body: bytes = b"") -> tuple[int, dict, bytes]:
    """One request written byte for byte (lying headers included): (status, headers, body)."""
    with socket.create_connection((ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT), timeout=10) as sock:
        sock.sendall(head.replace("\n", "\r\n").encode() + b"\r\n" + body)
        resp = http.client.HTTPResponse(sock)
        resp.begin()
        return resp.status, resp.headers, resp.read()


def auth_line(user: str = ep.CLICKHOUSE_USER, password: str = ep.CLICKHOUSE_PASSWORD) -> str:
    return "Authorization: Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


BOMB = gzip.compress(b"\0" * (70 * 1024 * 1024))  # ~70 KB that would become 70 MiB
NOT_UTF8 = b"SELECT '\xff\xfe\x80'"
BODY_CASES = [
    # credentials are checked before the body is read or decompressed
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line(password='wrong')}\nContent-Encoding: gzip\n"
                 "Content-Length: 9\n", b"not gzip!", 516, id="bad-gzip-wrong-password"),
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line(password='wrong')}\nContent-Encoding: gzip\n"
                 f"Content-Length: {len(BOMB)}\n", BOMB, 516, id="gzip-bomb-wrong-password"),
    # bounded once decompressed, as sent, and per chunk
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line()}\nContent-Encoding: gzip\n"
                 f"Content-Length: {len(BOMB)}\n", BOMB, 229, id="gzip-bomb"),
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line()}\nContent-Length: {2 ** 40}\n", b"SELECT 1", 229,
                 id="length-1-TiB"),
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line()}\nTransfer-Encoding: chunked\n",
                 b"ffffffffff\r\nSELECT", 229, id="chunk-1-TiB"),
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line()}\nContent-Length: -1\n", b"SELECT 1", 36,
                 id="negative-length"),
    # statement bytes that are not UTF-8: an error in ClickHouse's form, not a server fault
    pytest.param(f"POST / HTTP/1.1\nHost: x\n{auth_line()}\nContent-Length: {len(NOT_UTF8)}\n", NOT_UTF8, 36,
                 id="not-utf8"),
]


@pytest.mark.parametrize("head, body, code", BODY_CASES)
def test_request_bodies_are_bounded_and_checked(stack, head, body, code):
    status, headers, answer = raw_exchange(head, body)
    assert headers["X-ClickHouse-Exception-Code"] == str(code), answer[:300]
    assert status == {516: 403, 229: 413, 36: 400}[code]
    assert answer.decode().startswith(f"Code: {code}. DB::Exception: ")
    assert http_request("SELECT 1")[::2] == (200, b"1\n")  # the server is unharmed


# -- inline INSERT data is data --------------------------------------------------------------

SMUGGLED = f"INSERT INTO {SCRATCH}.t (a) SELECT * FROM file('{HOST_FILE}', 'LineAsString')"


@pytest.mark.parametrize("request_text, rows", [
    # a blank line or a semicolon ends nothing: the rest is rows of the format
    (f"INSERT INTO {SCRATCH}.t (a) FORMAT TabSeparated\nx\n\n{SMUGGLED}\n", ["", SMUGGLED, "x"]),
    (f"INSERT INTO {SCRATCH}.t (a) FORMAT TabSeparated\nv;\n{SMUGGLED};\n", [SMUGGLED + ";", "v;"]),
    (f"WITH 1 AS y INSERT INTO {SCRATCH}.t (a) FORMAT TSV\nvalue_3;\n", ["value_3;"]),
    (f"INSERT INTO {SCRATCH}.t (a) FORMAT CSV\n\"a;b\"\n\"c;\n\nd\"\n", ["a;b", "c;\n\nd"]),
    (f"INSERT INTO {SCRATCH}.t (a) FORMAT JSONEachRow\n{{\"a\": \"j;1\"}}\n\n{{\"a\": \"j2\"}}\n", ["j2", "j;1"]),
    (f"INSERT INTO {SCRATCH}.t (a) VALUES ('v;1'), (concat('v', '2'))", ["v2", "v;1"]),
])
def test_inline_insert_data_reaches_the_engine_as_data(table, ch_client, request_text, rows):
    status, _, body = http_request(body=request_text)
    assert status == 200, body.decode()
    assert [r[0] for r in ch_client.query(f"SELECT a FROM {table} ORDER BY a").result_set] == rows


@pytest.mark.parametrize("rows, status, count", [
    ("({a:String}, {n:Int64}, 0, now())", 200, 1),
    ("({a:String}, {n:Int64}, 0, now())\n\nDROP TABLE {t}", 400, 0),
])
def test_values_with_query_parameters(table, ch_client, rows, status, count):
    got, _, body = http_request(f"INSERT INTO {table} (a, n, x, d) VALUES " + rows.replace("{t}", table),
                                params={"param_a": "p;1", "param_n": "5"})
    assert got == status, body.decode()
    assert ch_client.query(f"SELECT a, n FROM {table}").result_set == [("p;1", 5)][:count]


def test_rows_after_a_values_statement_are_still_one_statement(table, ch_client):
    status, headers, _ = http_request(body=f"INSERT INTO {table} (a) VALUES ('x'); DROP TABLE {table}")
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (400, "62")
    assert ch_client.command(f"SELECT count() FROM {table}") == 0


# -- the read-only user, time limits, concurrency, sessions -----------------------------------

def research_request(query: str, **kw):
    return http_request(query, user=ep.RESEARCH_USER, password=ep.RESEARCH_PASSWORD, **kw)


def test_read_only_user_runs_as_readonly_1(stack, research_client):
    assert research_request("SELECT getSetting('readonly')")[::2] == (200, b"1\n")
    status, headers, body = research_request("SELECT 1", params={"max_threads": "1"})
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (500, "164"), body.decode()
    # the engine reports the mode, so clickhouse-connect itself declines to send the setting
    with pytest.raises(ProgrammingError, match="readonly"):
        research_client.query("SELECT getSetting('max_threads')", settings={"max_threads": 1})


@pytest.mark.parametrize("asked, limit", [(None, b"600"), ("0", b"600"), ("100000", b"600"), ("5", b"5")])
def test_every_query_has_a_time_limit(stack, asked, limit):
    params = {} if asked is None else {"max_execution_time": asked}
    assert http_request("SELECT getSetting('max_execution_time')", params=params)[::2] == (200, limit + b"\n")


def running(tag: str) -> bool:
    status, _, body = http_request(f"SELECT count() FROM system.processes WHERE query LIKE '%{tag}%' "
                                   "AND query NOT LIKE '%system.processes%'")
    assert status == 200
    return body != b"0\n"


def wait_until(condition, seconds: float = 30) -> bool:
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def test_long_query_holds_no_one_and_stops_when_its_client_leaves(stack):
    tag = f"long_{uuid.uuid4().hex}"
    query = f"SELECT count() FROM numbers(4000000000) WHERE sipHash64(number) = 7 /* {tag} */"
    body = query.encode()
    with socket.create_connection((ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT), timeout=10) as sock:
        sock.sendall(f"POST / HTTP/1.1\r\nHost: x\r\n{auth_line()}\r\nContent-Length: {len(body)}\r\n\r\n".encode()
                     + body)
        assert wait_until(lambda: running(tag))
        # other users and requests go on meanwhile
        assert research_request("SELECT 1")[::2] == (200, b"1\n")
        assert http_request("SELECT 2")[::2] == (200, b"2\n")
        assert running(tag)
    assert wait_until(lambda: not running(tag))


def session_request(query: str, session_id: str, **params):
    return http_request(query, params={"session_id": session_id, **params})


def test_temporary_tables_belong_to_their_session_and_go_with_it(stack):
    mine, other = f"s_{uuid.uuid4().hex}", f"s_{uuid.uuid4().hex}"
    assert session_request("CREATE TEMPORARY TABLE tmp (x UInt8)", mine, session_timeout="1")[0] == 200
    assert session_request("INSERT INTO tmp VALUES (7)", mine, session_timeout="1")[0] == 200
    assert session_request("SELECT x FROM tmp", mine, session_timeout="1")[::2] == (200, b"7\n")
    status, headers, _ = session_request("SELECT x FROM tmp", other)
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (404, "60")
    time.sleep(2.5)  # past the session's timeout: session and table are gone
    status, headers, _ = session_request("SELECT x FROM tmp", mine, session_check="1")
    assert headers["X-ClickHouse-Exception-Code"] == "372"
    status, headers, _ = session_request("SELECT x FROM tmp", mine)
    assert (status, headers["X-ClickHouse-Exception-Code"]) == (404, "60")


@pytest.mark.parametrize("params, code", [
    ({"session_check": "1"}, "372"),
    ({"session_timeout": "3601"}, "36"),
    ({"session_timeout": "ten"}, "36"),
])
def test_session_parameters_are_checked(stack, params, code):
    _, headers, _ = session_request("SELECT 1", f"s_{uuid.uuid4().hex}", **params)
    assert headers["X-ClickHouse-Exception-Code"] == code


def test_a_session_serves_one_request_at_a_time(stack):
    sid = f"s_{uuid.uuid4().hex}"
    with concurrent.futures.ThreadPoolExecutor(max_workers=1) as pool:
        busy = pool.submit(session_request, "SELECT sleep(2)", sid)
        assert wait_until(lambda: running("sleep(2)"))
        _, headers, _ = session_request("SELECT 1", sid)
        assert headers["X-ClickHouse-Exception-Code"] == "373"
        assert busy.result(timeout=30)[::2] == (200, b"0\n")
    assert session_request("SELECT 1", sid)[::2] == (200, b"1\n")
    # the session is its user's: another user cannot take it over
    _, headers, _ = research_request("SELECT 1", params={"session_id": sid})
    assert headers["X-ClickHouse-Exception-Code"] == "373"


# -- connections ------------------------------------------------------------------------------

def test_idle_and_half_sent_connections_do_not_hold_the_server(stack):
    idle = [socket.create_connection((ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT), timeout=10) for _ in range(1000)]
    try:
        with socket.create_connection((ep.CENTRAL_HOST, ep.CLICKHOUSE_PORT), timeout=30) as slow:
            slow.sendall(b"POST / HTTP/1.1\r\nHost: x\r\n")  # a head that never ends
            assert http_request("SELECT 1")[::2] == (200, b"1\n")
            assert slow.recv(1) == b""  # closed by the server once the head's time is up
    finally:
        for sock in idle:
            sock.close()


# -- answers shaped by client_protocol_version -------------------------------------------------

BLOCK_INFO = b"\x01\x00\x02\xff\xff\xff\xff\x00"  # not overflows, bucket -1, end


@pytest.mark.parametrize("version, answer", [
    (None, b"\x01\x01\x06number\x06UInt64" + bytes(8)),
    ("54405", BLOCK_INFO + b"\x01\x01\x06number\x06UInt64" + bytes(8)),
])
def test_native_blocks_carry_block_info_from_the_clients_revision_on(stack, version, answer):
    params = {"client_protocol_version": version} if version else {}
    status, _, body = http_request("SELECT number FROM numbers(3) SETTINGS max_block_size = 1 FORMAT Native",
                                   params=params)
    assert status == 200
    assert body == answer + answer[:-8] + (1).to_bytes(8, "little") + answer[:-8] + (2).to_bytes(8, "little")


def test_client_settles_on_the_servers_protocol_and_reads_zones(ch_client):
    assert ch_client.protocol_version == 54405
    shanghai = dt.datetime(2024, 1, 1, 8, 0, tzinfo=ZoneInfo("Asia/Shanghai"))
    result = ch_client.query(
        "SELECT toDateTime('2024-01-01 08:00:00', 'Asia/Shanghai') AS d, "
        "toDateTime64('2024-01-01 08:00:00.5', 3, 'America/New_York') AS d64, "
        "toLowCardinality(toString(number % 2)) AS lc, toLowCardinality(toNullable(toString(number))) AS lcn, "
        "[number, 1] AS arr, map('k', number) AS m, (number, 'x') AS t, if(number = 1, NULL, number) AS n, "
        "toDecimal64(1.5, 2) AS dec, toFixedString('ab', 2) AS fs "
        "FROM numbers(3) SETTINGS max_block_size = 2")
    assert [t.name for t in result.column_types][:2] == ["DateTime('Asia/Shanghai')",
                                                         "DateTime64(3, 'America/New_York')"]
    new_york = dt.datetime(2024, 1, 1, 8, 0, 0, 500000, tzinfo=ZoneInfo("America/New_York"))
    assert result.result_rows == [
        (shanghai, new_york, str(i % 2), str(i), [i, 1], {"k": i}, (i, "x"), None if i == 1 else i,
         decimal.Decimal("1.50"), b"ab")
        for i in range(3)
    ]
    frame = ch_client.query_df("SELECT toDateTime('2024-01-01 08:00:00', 'Asia/Shanghai') AS d")
    assert str(frame["d"].dtype) == "datetime64[s, Asia/Shanghai]"
