"""The cache-text reader: texts in Python literal notation read back as eval reads
them in the module's namespace, failing as eval fails, and never running anything."""
import datetime
import math
import types
import warnings

import pytest
from hypothesis import given, settings, strategies as st

import pelmora.Pelmora as P
from pelmora.Pelmora import _read_python_literal as read


def evaluated(text):
    """eval in the module's namespace (harmless texts only), under the module's own
    "ignore" warnings filter."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return eval(text, dict(vars(P)))


def same(a, b):
    """Equal, of the same types all the way down, and -0.0 kept apart from 0.0."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        return a == b and math.copysign(1, a) == math.copysign(1, b)
    if isinstance(a, (list, tuple)):
        return len(a) == len(b) and all(map(same, a, b))
    if isinstance(a, dict):
        return len(a) == len(b) and all(same(ka, kb) and same(a[ka], b[kb]) for ka, kb in zip(a, b))
    return a == b


ACCEPTED = [
    # containers, nested, with the host's own spacing and without
    "{'a': 1, 'b': [1, 2.5, -3], 'c': (1,), 'd': (), 'e': {1, 2}, 'f': {}, 'g': [[], [()]]}",
    "[True,False,None]", "set()", "frozenset({1, 2})", "(1,2,)", "1, 2", "{1: 'a', 1.0: 'b', True: 'c'}",
    # numbers
    "-0.0", "-5", "--5", "+7", "-(3)", "1e-07", "1E+300", "1e400", "-1e400", ".5", "1.", "0.", "1_000.5_5",
    "0x1F", "0o17", "0b101", "0x_ff", "00", "09.5", str(2**200), str(-2**200), "-True",
    "1j", "-1-2.5j", "3+4J", "1e3j",
    # texts and bytes in every form repr writes them (and a few eval reads)
    "'plain'", '"it\'s"', r"'\n\t\\\'\"\a\b\f\v\r'", r"'\x41\u00e9\U0001F600\101\0'", r"'\ud83d'",
    "'螺纹钢 rb2505'", r"'\N{EM DASH}'", r"'\q'", "r'\\d+'", "u'x'", "'a' \"b\" '''c\nd'''", "'a\\\nb'",
    r"b'\x00\xff\n\777'", r"rb'\x'", "b'a' B'b'", r"b'\u1234'", "f'plain'",
    # blanks, comments, line ends as eval takes them
    "  {'k': 1}", "\t[1]", "\n\n(1)\n", "[1,\n 2,  # note\n]", "'''a\r\nb'''", "1 # comment", "1\r\n",
    "\\\n1", "1\n\n  \n", "\f1",
    # duplicate keys: the last wins
    "{1: 'a', 1: 'b'}",
    # the datetime constructors, positional and keyword, and the time zones they print with
    "datetime.datetime(2024, 1, 5, 9, 30)", "datetime.datetime(2024, 1, 5, 9, 30, 0, 123456, tzinfo=datetime.timezone.utc)",
    "datetime.date(2024, 1, 5)", "datetime.time(9, 30, fold=1)", "datetime.timedelta(seconds=3600)",
    "datetime.timedelta(days=-1, seconds=86399)",
    "datetime.datetime(2024, 1, 5, tzinfo=datetime.timezone(datetime.timedelta(seconds=28800), 'CST'))",
    "{'ts': datetime . datetime(2024, 1, 5, 9, 30, ), 'effective_hour': 2, 'split_mode': 'twap'}",
]


@pytest.mark.parametrize("text", ACCEPTED)
def test_accepted_texts_read_as_eval_reads_them(text):
    assert same(read(text), evaluated(text))


def test_bytes_and_buffers_read_as_utf8():
    text = "{'品种': '螺纹钢', 'ts': datetime.date(2024, 1, 5)}".encode()
    for source in (text, b"\xef\xbb\xbf" + text, bytearray(text), memoryview(text)):
        assert read(source) == evaluated(source)
    # a NUL is eval's SyntaxError from 3.12 on, its ValueError before
    for bad in (b"'\xff'", b"1\x00"):
        with pytest.raises((SyntaxError, ValueError)) as want:
            evaluated(bad)
        with pytest.raises(Exception) as got:
            read(bad)
        assert type(got.value) is type(want.value)


# Texts eval itself rejects without running anything: the reader raises eval's exception.
EVAL_FAILURES = [
    # names eval does not know: JSON's words, float specials, a name inside a container
    "null", "true", "nan", "inf", "{'a': null}", "[1, undefined_name]",
    # evaluation faults
    "{[1]: 2}", "{{1}, 2}", "-'a'", "-None", "datetime.datetime(2024, 13, 5)", "datetime.date(2024, 1)",
    # syntax, which eval reports before it evaluates anything
    "", "   ", "# only a comment", "[1", "[1)", ")", "1 2", "'abc", "'''abc", "017", "1__0", "1_", "0b2", "0x",
    "1.__class__", r"'\x4'", r"'\U00110000'", r"'\N{NO SUCH NAME}'", r"b'\x4'", "b'é'", "'a' b'b'", "1;", "x = 1",
    "[x, 1 2]", "[1,,2]", "(,)", "{1: }", "{1: 2, 3}", "datetime.timedelta(seconds=1, seconds=2)",
    "datetime.date(day=1, 2)", "await x", "lambda a, a: 0", "1\x00", "1 \\", "1\\\n", "1 \\ 2", "'a\nb'", "ur'x'", "$", "€", "1\n2", "[1] [",
    "[" * 201 + "]" * 201, "1" * 5000,
    # indentation eval refuses
    "\n 1", "  # c\n  1", "1\n ",
]


@pytest.mark.parametrize("text", EVAL_FAILURES)
def test_failures_are_evals(text):
    with pytest.raises(Exception) as want:
        evaluated(text)
    with pytest.raises(Exception) as got:
        read(text)
    assert type(got.value) is type(want.value)
    if not isinstance(want.value, SyntaxError):
        assert str(got.value) == str(want.value)


@pytest.mark.parametrize("value", [None, 1, 2.5, [1], object()])
def test_non_text_is_evals_type_error(value):
    with pytest.raises(TypeError) as want:
        eval(value)
    with pytest.raises(TypeError, match="^eval\\(\\) arg 1 must be a string, bytes or code object$"):
        read(value)
    assert str(want.value) == "eval() arg 1 must be a string, bytes or code object"


def test_name_error_carries_the_name():
    with pytest.raises(NameError) as got:
        read("{'x': null}")
    assert got.value.name == "null"


# Texts eval would run: refused, naming what was refused.
REFUSED = [
    ("__import__('os').system('true')", "call of '__import__'"),
    ("os.system('true')", "call of 'os.system'"),
    ("open('x', 'w')", "call of 'open'"),
    ("int", "name 'int'"),
    ("datetime", "name 'datetime'"),
    ("datetime.datetime.now()", "call of 'datetime.datetime.now'"),
    ("datetime.datetime", "name 'datetime.datetime'"),
    ("1+1", "operator '+'"),
    ("2 ** 1000000", "operator '**'"),
    ("1 < 2", "operator '<'"),
    ("1 is 1", "keyword 'is'"),
    ("~1", "operator '~'"),
    ("[1][0]", "subscript"),
    ("'a'.upper()", "attribute access"),
    ("(1)(2)", "call"),
    ("lambda: 0", "keyword 'lambda'"),
    ("not 1", "keyword 'not'"),
    ("1 if True else 2", "keyword 'if'"),
    ("[i for i in (1, 2)]", "keyword 'for'"),
    ("(x := 1)", "operator ':='"),
    ("[*(1,)]", "unpacking '*'"),
    ("{**{}}", "unpacking '**'"),
    ("f'{1}'", "f-string replacement field"),
    ("-datetime.timedelta(1)", "operator '-' on datetime.timedelta"),
    # a refusal wins over an evaluation failure met earlier: the text is no literal at all
    ("[undefined_name, __import__('os')]", "call of '__import__'"),
]


@pytest.mark.parametrize("text, what", REFUSED)
def test_code_is_refused(text, what):
    with pytest.raises(ValueError) as got:
        read(text)
    assert str(got.value) == "not a literal: " + what


def test_code_objects_are_refused():
    with pytest.raises(ValueError, match="code object"):
        read(compile("1", "<string>", "eval"))


def test_stored_code_runs_nothing(tmp_path, monkeypatch):
    marker = tmp_path / "ran"
    touch = f"__import__('pathlib').Path({str(marker)!r}).touch()"
    attempts = [
        touch,
        f"{{'ok': 1, 'then': {touch}}}",
        f"os.system('touch {marker}')",
        f"[{touch} for _ in [1]]",
        "globals().__setitem__('pwned', 1)",
        "exec('pwned = 1')",
        f"datetime.datetime(2024, 1, 5, tzinfo={touch})",
    ]
    for text in attempts:
        with pytest.raises(ValueError):
            read(text)
        with pytest.raises(ValueError):
            read(text.encode())
    assert not marker.exists()
    assert not hasattr(P, "pwned")


def test_substituted_datetime_module_is_honoured(monkeypatch):
    calls = []

    def record(kind):
        return lambda *args, **kwargs: calls.append((kind, args, kwargs)) or kind

    fake = types.SimpleNamespace(datetime=record("datetime"), date=record("date"), time=record("time"),
                                 timedelta=record("timedelta"), timezone=types.SimpleNamespace(utc="UTC"))
    monkeypatch.setattr(P, "datetime", fake)
    got = read("[datetime.datetime(2024, 1, 5, tzinfo=datetime.timezone.utc), datetime.timedelta(seconds=5)]")
    assert got == ["datetime", "timedelta"]
    assert calls == [("datetime", (2024, 1, 5), {"tzinfo": "UTC"}), ("timedelta", (), {"seconds": 5})]

    monkeypatch.delattr(P, "datetime")
    with pytest.raises(NameError, match="^name 'datetime' is not defined$"):
        read("datetime.date(2024, 1, 5)")


def test_nesting_is_bounded_without_crashing():
    assert read("[" * 200 + "]" * 200) == evaluated("[" * 200 + "]" * 200)
    # the call's own bracket counts: 200 levels in all
    assert read("(" * 198 + "{1: datetime.date(2024, 1, 5)}" + ")" * 198) == {1: datetime.date(2024, 1, 5)}
    for deep in ("[" * 100_000 + "]" * 100_000, "{1: " * 100_000 + "}" * 100_000, "(" * 100_000):
        with pytest.raises(SyntaxError, match="too many nested parentheses"):
            read(deep)
    # eval gives up on long sign chains with RecursionError or MemoryError
    with pytest.raises((RecursionError, MemoryError)):
        read("-" * 1_000_000 + "1")


# Chains the parser turns into a tree as deep as they are long; on some Pythons
# converting such a tree overflows the C stack, so the reader stops them first.
LONG_CHAINS = [
    "-" * 2_000_000 + "1", "+-" * 1_000_000 + "1", "1" + "+1" * 2_000_000, "a" + ".a" * 2_000_000,
    "a" + "()" * 1_000_000, "[1]" + "[0]" * 1_000_000, "lambda a, b: " * 300_000 + "0",
    "not " * 500_000 + "1", "1 if 1 else " * 300_000 + "1", "[" + "0, " * 10 + "-" * 2_000_000 + "1]",
    "{1: " + "~" * 2_000_000 + "1}", "(" * 150 + "-" * 5_000 + "1" + ")" * 150,
]


@pytest.mark.parametrize("text", LONG_CHAINS, ids=lambda t: t[:12])
def test_long_chains_fail_cleanly(text):
    with pytest.raises((RecursionError, MemoryError)):
        read(text)


# What only looks deep: brackets and signs inside texts and comments, many
# short items side by side, a sign chain eval still reads.
SHALLOW = [
    "'" + "(-" * 500_000 + "'", '"""' + "[" * 300 + '\n' + "-" * 5000 + '"""', "'\\\\'" + " '" + "-" * 5000 + "'",
    "b'" + "~" * 5000 + "'", "1 # " + "-" * 5000, "[" + "-1, " * 200_000 + "]", "{" + "'k': -0.5, " * 50_000 + "}",
    "-" * 500 + "1", "[" * 100 + "-" * 500 + "1" + "]" * 100,
]


@pytest.mark.parametrize("text", SHALLOW, ids=lambda t: t[:12])
def test_deep_looking_texts_read_as_eval_reads_them(text):
    assert same(read(text), evaluated(text))


def test_size_cap():
    limit = 4 << 20
    at_limit = "'" + "a" * (limit - 2) + "'"
    assert read(at_limit) == "a" * (limit - 2)
    for over in (at_limit + " ", at_limit.encode() + b" ", "[" + "1," * (limit // 2) + "]"):
        with pytest.raises(ValueError, match="over the reader's limit of 4194304"):
            read(over)


def test_large_flat_text():
    value = {f"k{i}": [i, -i * 0.5, f"v{i}", None] for i in range(50_000)}
    assert read(repr(value)) == value


hashables = st.recursive(
    st.none() | st.booleans() | st.integers() | st.floats(allow_nan=False, allow_infinity=False) | st.text(max_size=8)
    | st.binary(max_size=8) | st.dates(),
    lambda inner: st.tuples(inner) | st.lists(inner, max_size=3).map(tuple) | st.frozensets(inner, max_size=3),
    max_leaves=6)
zones = st.sampled_from([None, datetime.timezone.utc, datetime.timezone(datetime.timedelta(hours=8)),
                         datetime.timezone(-datetime.timedelta(hours=5, minutes=30), "X'\u00e9")])
scalars = (st.none() | st.booleans() | st.integers() | st.floats(allow_nan=False, allow_infinity=False)
           | st.complex_numbers(allow_nan=False, allow_infinity=False)
           | st.text(st.characters(exclude_categories=()), max_size=12) | st.binary(max_size=12)
           | st.datetimes(timezones=zones) | st.dates() | st.times(timezones=zones) | st.timedeltas())
values = st.recursive(
    scalars,
    lambda inner: (st.lists(inner, max_size=4) | st.lists(inner, max_size=4).map(tuple)
                   | st.dictionaries(hashables, inner, max_size=4) | st.sets(hashables, max_size=4)),
    max_leaves=15)


@settings(max_examples=300, deadline=None)
@given(values)
def test_repr_round_trip(value):
    assert same(read(repr(value)), value)
