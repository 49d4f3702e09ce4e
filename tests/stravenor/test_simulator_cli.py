"""The simulator as the local stack starts it: python -m services.platform_sim."""

import re
import selectors
import shutil
import signal
import subprocess
import sys

from pelmora.Stravenor import query_trader_all_info

from .conftest import DEMO_DATA, ROOT


def read_line(proc, timeout=15.0) -> str:
    with selectors.DefaultSelector() as sel:
        sel.register(proc.stdout, selectors.EVENT_READ)
        assert sel.select(timeout), "simulator printed nothing"
    return proc.stdout.readline()


def start(*args):
    return subprocess.Popen([sys.executable, "-m", "services.platform_sim", *args], cwd=ROOT,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def test_cli_serves_the_demo_accounts_until_terminated(tmp_path):
    data = tmp_path / "demo.json"
    shutil.copy2(DEMO_DATA, data)
    proc = start("--host", "127.0.0.1", "--port", "0", "--data", str(data))
    try:
        banner = read_line(proc)
        match = re.fullmatch(r"platform simulator listening on 127\.0\.0\.1:(\d+)\n", banner)
        assert match, banner
        port = match.group(1)
        result = query_trader_all_info("127.0.0.1", port, "80050077", "580914", "entrust")
        assert result["登录成功"] is True
        assert [o["status"] for o in result["data"]][:2] == ["全部成交", "全部成交"]
        assert read_line(proc) == "request 80050077\n"
        assert read_line(proc) == "login 80050077\n"
    finally:
        proc.send_signal(signal.SIGTERM)
        assert proc.wait(timeout=15) == 0
        proc.stdout.close()
        proc.stderr.close()


def test_cli_refuses_a_non_loopback_address():
    proc = start("--host", "0.0.0.0", "--port", "0", "--data", str(DEMO_DATA))
    _, err = proc.communicate(timeout=30)
    assert proc.returncode == 1
    assert "loopback" in err


def test_cli_refuses_a_broken_data_file(tmp_path):
    data = tmp_path / "broken.json"
    data.write_text("{not json", encoding="utf-8")
    proc = start("--port", "0", "--data", str(data))
    _, err = proc.communicate(timeout=30)
    assert proc.returncode == 1
    assert "broken.json" in err
