"""The simulator as the local stack starts it: python -m services.platform_sim."""

import queue
import re
import shutil
import signal
import subprocess
import sys
import threading

from pelmora.Stravenor import query_trader_all_info

from .conftest import DEMO_DATA, ROOT


class Lines:
    """The process's output lines, read by a thread so waiting for one can time out."""

    def __init__(self, stream):
        self._queue = queue.Queue()
        self._thread = threading.Thread(target=self._pump, args=(stream,), daemon=True)
        self._thread.start()

    def join(self):
        self._thread.join(15)

    def _pump(self, stream):
        for line in stream:
            self._queue.put(line)

    def next(self, timeout=15.0) -> str:
        try:
            return self._queue.get(timeout=timeout)
        except queue.Empty:
            raise AssertionError("simulator printed nothing") from None


def start(*args):
    return subprocess.Popen([sys.executable, "-m", "services.platform_sim", *args], cwd=ROOT,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def test_cli_serves_the_demo_accounts_until_terminated(tmp_path):
    data = tmp_path / "demo.json"
    shutil.copy2(DEMO_DATA, data)
    proc = start("--host", "127.0.0.1", "--port", "0", "--data", str(data))
    lines = Lines(proc.stdout)
    try:
        banner = lines.next()
        match = re.fullmatch(r"platform simulator listening on 127\.0\.0\.1:(\d+)\n", banner)
        assert match, banner
        port = match.group(1)
        result = query_trader_all_info("127.0.0.1", port, "80050077", "580914", "entrust")
        assert result["登录成功"] is True
        assert [o["status"] for o in result["data"]][:2] == ["全部成交", "全部成交"]
        assert lines.next() == "request 80050077\n"
        assert lines.next() == "login 80050077\n"
    finally:
        proc.send_signal(signal.SIGTERM)
        assert proc.wait(timeout=15) == 0
        lines.join()  # output ends with the process
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
