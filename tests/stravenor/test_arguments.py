"""Argument checks happen before anything reaches the library."""

import pytest

from pelmora.Stravenor import query_trader_all_info

from .conftest import account

NAMES = ["ip", "port", "userid", "password", "option"]


@pytest.fixture
def valid(platform):
    platform.set_accounts({"80050021": account(fund={"balance": 3.5})})
    return ["127.0.0.1", platform.port, "80050021", "580914", "fund"]


@pytest.fixture
def untouched(platform, trader_calls):
    """Asserts after the test that neither the library nor the platform saw a call."""
    yield
    assert trader_calls.since_start() == {}
    assert platform.sim.events() == []


@pytest.mark.parametrize("given", range(5))
def test_missing_positional_arguments(valid, untouched, given):
    with pytest.raises(TypeError, match=r"exactly 5 arguments"):
        query_trader_all_info(*valid[:given])


@pytest.mark.parametrize("left_out", NAMES)
def test_missing_keyword_argument(valid, untouched, left_out):
    kwargs = {name: value for name, value in zip(NAMES, valid) if name != left_out}
    with pytest.raises(TypeError, match=r"exactly 5 arguments"):
        query_trader_all_info(**kwargs)


def test_too_many_arguments(valid, untouched):
    with pytest.raises(TypeError, match=r"exactly 5 arguments"):
        query_trader_all_info(*valid, "extra")
    with pytest.raises(TypeError, match=r"exactly 5 arguments"):
        query_trader_all_info(*valid, "a", "b", "c", "d", "e")


@pytest.mark.parametrize("position", range(5))
@pytest.mark.parametrize("bad", [None, 10911, b"bytes", 1.5, ["list"]])
def test_non_str_argument_is_named(valid, untouched, position, bad):
    args = list(valid)
    args[position] = bad
    with pytest.raises(TypeError, match=rf"argument '{NAMES[position]}' must be str, not "
                                        rf"{type(bad).__name__}"):
        query_trader_all_info(*args)
    kwargs = dict(zip(NAMES, args))
    with pytest.raises(TypeError, match=rf"'{NAMES[position]}'"):
        query_trader_all_info(**kwargs)


@pytest.mark.parametrize("position", range(5))
@pytest.mark.parametrize("nul", ["{}\x00junk", "\x00{}", "\x00"])
def test_nul_in_an_argument_is_refused_by_name(valid, untouched, position, nul):
    args = list(valid)
    args[position] = nul.format(args[position])
    with pytest.raises(ValueError, match=rf"argument '{NAMES[position]}' must not contain a NUL"):
        query_trader_all_info(*args)


def test_port_as_number_names_port(valid, untouched):
    with pytest.raises(TypeError, match=r"'port' must be str, not int"):
        query_trader_all_info("127.0.0.1", 10911, "80050021", "580914", "position")


def test_unknown_or_repeated_keyword(valid, untouched):
    with pytest.raises(TypeError, match=r"unexpected keyword argument 'host'"):
        query_trader_all_info(*valid[:4], host="127.0.0.1")
    with pytest.raises(TypeError, match=r"multiple values for argument 'ip'"):
        query_trader_all_info(*valid, ip="127.0.0.1")


def test_keywords_in_any_order_and_mixed(valid):
    expected = query_trader_all_info(*valid)
    assert expected["data"]["账户权益"] == 3.5
    ip, port, userid, password, option = valid
    assert query_trader_all_info(option=option, password=password, userid=userid, port=port,
                                 ip=ip) == expected
    assert query_trader_all_info(ip, port, password=password, option=option,
                                 userid=userid) == expected


def test_str_subclass_is_a_text(valid):
    class Label(str):
        pass

    result = query_trader_all_info(*valid[:4], Label("fund"))
    assert result["data"]["账户权益"] == 3.5
