"""The trader library's own checks (tests/native), built with AddressSanitizer
and UndefinedBehaviorSanitizer and run against the simulator."""

import os
import shutil
import subprocess
import sys

import pytest

from services.platform_sim import PlatformSimulator

from .conftest import ROOT, write_accounts

SANITIZE = "-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
FUND_FIELDS = ("balance", "available", "curr_margin", "frozen_margin", "close_profit",
               "position_profit", "commission", "deposit", "withdraw", "pre_balance",
               "reserve_balance", "exchange_margin", "withdraw_quota", "interest")

# The accounts tests/native/trader_session_check.cpp expects.
CHECK_ACCOUNTS = {
    "ok": {
        "password": "pw", "trading_day": "20250314", "settlement_id": 3,
        "fund": {name: i + 1.5 for i, name in enumerate(FUND_FIELDS)},
        "positions": [
            {"contract": "C" * 40, "direction": "Long", "today": 1, "yesterday": 2,
             "total": 3, "profit": 4.5, "margin": 6.25},
            {"contract": "rb2505", "direction": "Short", "today": 1},
        ],
        "trades": [{"contract": "au2506", "direction": "买", "offset": "开仓", "price": 690.5,
                    "volume": 2, "time": "09:00:00" * 3, "trade_id": "T" * 40,
                    "order_id": "O" * 31}],
        "orders": [{"contract": "au2506", "direction": "买", "offset": "开仓",
                    "status": "全部成交" * 5, "price": 3.25, "total": 5, "traded": 4,
                    "time": "09:00:00", "order_id": "1"}],
    },
    "refused": {"password": "pw", "refuse_login": True},
    "dropped": {"password": "pw", "drop_after": 2,
                "positions": [{"contract": "rb2505", "direction": "Long", "today": 1}]},
    "silent": {"password": "pw", "delay": 8.0},
}


def sanitizer_support(compiler: str, tmp_path) -> str | None:
    """None when the compiler can build and run a sanitized program, else why not."""
    src = tmp_path / "probe.cpp"
    src.write_text("int main() { return 0; }\n")
    exe = tmp_path / "probe"
    build = subprocess.run([compiler, *SANITIZE.split(), str(src), "-o", str(exe)],
                           capture_output=True, text=True, timeout=120)
    if build.returncode != 0:
        return f"{compiler} cannot build with {SANITIZE}: {build.stderr.strip()[:300]}"
    run = subprocess.run([str(exe)], capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        return f"sanitized programs do not run here: {run.stderr.strip()[:300]}"
    return None


@pytest.fixture(scope="module")
def trader_check(tmp_path_factory):
    # The environment's own cmake and ninja first: a virtual environment need not be on PATH.
    tools = os.pathsep.join([os.path.dirname(sys.executable), os.environ.get("PATH", "")])
    cmake = shutil.which("cmake", path=tools)
    compiler = shutil.which("c++") or shutil.which("g++") or shutil.which("clang++")
    if not cmake or not compiler:
        pytest.skip("needs cmake and a C++ compiler")
    tmp = tmp_path_factory.mktemp("native-check")
    reason = sanitizer_support(compiler, tmp)
    if reason:
        pytest.skip(reason)
    build = tmp / "build"
    ninja = shutil.which("ninja", path=tools)
    generator = ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"] if ninja else []
    # ccache, where present, serves this build from the last session's; the build dir is new
    # each time, so its path is left out of the hash.
    ccache = shutil.which("ccache")
    launcher = [f"-DCMAKE_CXX_COMPILER_LAUNCHER={ccache}"] if ccache else []
    env = dict(os.environ, CCACHE_NOHASHDIR="true", CCACHE_BASEDIR=str(ROOT))
    for cmd in ([cmake, "-S", str(ROOT / "tests" / "native"), "-B", str(build), *generator, *launcher,
                 "-DCMAKE_BUILD_TYPE=Debug", f"-DCMAKE_CXX_COMPILER={compiler}",
                 f"-DCMAKE_CXX_FLAGS={SANITIZE}"],
                [cmake, "--build", str(build), "--parallel", "2"]):
        step = subprocess.run(cmd, capture_output=True, text=True, timeout=600, env=env)
        assert step.returncode == 0, step.stdout[-3000:] + step.stderr[-3000:]
    return build / "trader_check"


def test_trader_library_under_sanitizers(trader_check, tmp_path):
    data = tmp_path / "accounts.json"
    write_accounts(data, CHECK_ACCOUNTS)
    env = dict(os.environ,
               ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0",
               UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1")
    with PlatformSimulator(data, "127.0.0.1", 0, idle_timeout=10.0) as sim:
        run = subprocess.run([str(trader_check), "127.0.0.1", str(sim.port)], env=env,
                             capture_output=True, text=True, timeout=120)
    report = run.stdout + run.stderr
    assert run.returncode == 0, report[-6000:]
    assert "all checks passed" in run.stdout
    assert "Sanitizer" not in report and "runtime error" not in report, report[-6000:]
    assert sim.events("ok").count(("logout", "ok")) >= 2
