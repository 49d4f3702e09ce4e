"""Import-time surface, the timeout runner and the time utilities: no services needed."""
import inspect
import os
import socket
import subprocess
import sys
import textwrap
import time
import warnings

import pytest

import pelmora.Pelmora as P
from pelmora.Pelmora import MyClass, Pelmora


def test_python_modules_and_snapshot_function_are_module_names():
    import clickhouse_connect, datetime, json, pandas, pymysql, redis, types, os as os_mod

    expected = {"clickhouse_connect": clickhouse_connect, "datetime": datetime, "pd": pandas,
                "json": json, "redis": redis, "types": types, "warnings": warnings,
                "pymysql": pymysql, "os": os_mod, "socket": socket}
    for name, module in expected.items():
        assert getattr(P, name) is module, name
    from pelmora import Stravenor
    assert P.query_trader_all_info is Stravenor.query_trader_all_info


def test_endpoint_constants_are_the_build_defaults_of_endpoints_env():
    from services import endpoints as ep
    assert P.CENTRAL_HOST == ep.CENTRAL_HOST
    assert P.PROD_REDIS_HOSTS == ep.PROD_REDIS_HOSTS
    assert P.RISK_PLATFORM_HOST == ep.RISK_PLATFORM_HOST


def test_import_ignores_all_warnings_process_wide():
    code = textwrap.dedent("""
        import warnings
        import pelmora.Pelmora
        with warnings.catch_warnings(record=True) as caught:
            warnings.warn("x", DeprecationWarning)
            warnings.warn("y", UserWarning)
        print(len(caught))
    """)
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "0"


def test_public_surface_signatures():
    assert str(inspect.signature(Pelmora.__init__)) == "(self, /, account_id, acquire_key, user_id, env='test')"
    for name in ("fun_read_position", "fun_read_order", "fun_read_deal", "fun_read_equity"):
        assert str(inspect.signature(getattr(Pelmora, name))) == "(self, /, start_date='', end_date='', *, as_frame=False)"
    # static members work on the class
    assert Pelmora.unix_to_datetime(0) == "1970-01-01"


@pytest.mark.parametrize("tz", ["UTC", "Asia/Shanghai", "America/Los_Angeles", "Pacific/Kiritimati"])
@pytest.mark.parametrize("seconds, text", [(0, "1970-01-01"), (86399.9, "1970-01-01"),
                                           (86400, "1970-01-02"), (1704412800, "2024-01-05")])
def test_unix_to_datetime_is_utc_whatever_the_zone(monkeypatch, tz, seconds, text):
    monkeypatch.setenv("TZ", tz)
    time.tzset()
    try:
        assert Pelmora.unix_to_datetime(seconds) == text
    finally:
        monkeypatch.undo()
        time.tzset()


@pytest.mark.parametrize("bad", [1e20, -1e20, float("nan")])
def test_unix_to_datetime_outside_the_range_raises_the_hosts_error(bad):
    with pytest.raises((OverflowError, ValueError, OSError)):
        Pelmora.unix_to_datetime(bad)


def test_my_task_returns_after_ten_seconds_and_runner_times_out_after_it(capsys):
    runner = MyClass()
    started = time.monotonic()
    assert runner.run_with_timeout() is None
    elapsed = time.monotonic() - started
    assert capsys.readouterr().out == "任务超时！\n"
    # the runner waits for the task: the line comes after the task's sleep
    assert elapsed >= 9.5


def test_runner_prints_an_in_time_result_or_the_error(capsys):
    quick = MyClass()
    quick.my_task = lambda: "done quickly"
    quick.run_with_timeout()

    failing = MyClass()
    def boom():
        raise ValueError("bad task")
    failing.my_task = boom
    failing.run_with_timeout()

    assert capsys.readouterr().out.splitlines() == [
        "done quickly", "('任务出错：', ValueError('bad task'))"]


def test_runner_lets_keyboard_interrupt_and_system_exit_through(capsys):
    for error in (KeyboardInterrupt, SystemExit):
        runner = MyClass()
        def stop(error=error):
            raise error("stop")
        runner.my_task = stop
        with pytest.raises(error):
            runner.run_with_timeout()
    assert capsys.readouterr().out == ""


def test_ctrl_c_while_the_runner_waits_is_keyboard_interrupt(capsys):
    import signal
    import threading
    runner = MyClass()
    runner.my_task = lambda: time.sleep(1) or "late"
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            runner.run_with_timeout()
    finally:
        timer.cancel()
    assert capsys.readouterr().out == ""


def test_timeout_runner_releases_the_gil_while_the_task_sleeps():
    import threading
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(1)
            time.sleep(0.05)

    t = threading.Thread(target=ticker)
    t.start()
    try:
        MyClass().my_task()
    finally:
        stop.set()
        t.join()
    assert len(ticks) > 50
