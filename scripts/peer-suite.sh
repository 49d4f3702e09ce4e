#!/usr/bin/env bash
# clickhouse-connect's own integration tests against a store front of their own: how closely the
# local store answers as ClickHouse does. Not part of CI (about 800 tests, CPU-heavy).
#
#   scripts/peer-suite.sh PATH [pytest args...]
#
# PATH is a checkout of clickhouse-connect's public repository at the tag of the client version
# in use (kept outside this repository). The tests run from a copy of its tests/ folder, so they
# import the installed client, not the checkout's sources. PYTHON (default python3) needs
# clickhouse-connect, chdb, pytest, pytest-timeout and pytest-asyncio (pyarrow, polars, sqlalchemy
# for those groups). PEER_HOST/PEER_PORT choose the front's address, PEER_TEST_TIMEOUT the limit
# per test in seconds (default 60), PEER_REPORT a file for the list of failing tests, PEER_LOG a
# file for pytest's whole output.
set -euo pipefail

checkout=${1:?usage: scripts/peer-suite.sh PATH-to-clickhouse-connect-checkout [pytest args...]}
shift
checkout=$(cd "$checkout" && pwd)
[[ -d $checkout/tests/integration_tests ]] || { echo "no tests/integration_tests under $checkout" >&2; exit 2; }
PYTHON=${PYTHON:-python3}
host=${PEER_HOST:-127.0.99.1}
port=${PEER_PORT:-28123}
per_test=${PEER_TEST_TIMEOUT:-60}
repo=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/peer-suite.XXXXXX")
front_pid=""
cleanup() {
    if [[ -n $front_pid ]]; then
        kill "$front_pid" 2>/dev/null || true
        wait "$front_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cp -r "$checkout/tests" "$work/tests"
(cd "$repo" && exec "$PYTHON" -m services.clickhouse_http --host "$host" --port "$port" \
    --data-dir "$work/store") >"$work/front.log" 2>&1 &
front_pid=$!
for _ in $(seq 100); do
    curl -sf "http://$host:$port/ping" >/dev/null 2>&1 && break
    kill -0 "$front_pid" 2>/dev/null || { cat "$work/front.log" >&2; exit 1; }
    sleep 0.2
done

read -r user password < <(cd "$repo" && "$PYTHON" -c \
    'from services import endpoints as e; print(e.CLICKHOUSE_USER, e.CLICKHOUSE_PASSWORD)')

status=0
(
    cd "$work"
    CLICKHOUSE_CONNECT_TEST_HOST=$host CLICKHOUSE_CONNECT_TEST_PORT=$port \
    CLICKHOUSE_CONNECT_TEST_USER=$user CLICKHOUSE_CONNECT_TEST_PASSWORD=$password \
    "$PYTHON" -m pytest tests/integration_tests -q -p no:cacheprovider -o addopts="" \
        -o asyncio_default_fixture_loop_scope=session --timeout="$per_test" \
        --junitxml="$work/report.xml" "$@" >"$work/pytest.log" 2>&1
) || status=$?
tail -n 3 "$work/pytest.log"
[[ -z ${PEER_LOG:-} ]] || cp "$work/pytest.log" "$PEER_LOG"
kill -0 "$front_pid" 2>/dev/null || echo "the front stopped during the run (exit status of pytest: $status)"

"$PYTHON" - "$work/report.xml" "${PEER_REPORT:-}" <<'EOF'
import sys
import xml.etree.ElementTree as ET

suites = ET.parse(sys.argv[1]).getroot()
counts = {"passed": 0, "failed": 0, "error": 0, "skipped": 0}
failing = []
for case in suites.iter("testcase"):
    found = next((c for c in case if c.tag in ("failure", "error", "skipped")), None)
    outcome = "passed" if found is None else {"failure": "failed"}.get(found.tag, found.tag)
    counts[outcome] += 1
    if outcome in ("failed", "error"):
        why = (found.get("message") or "").splitlines()[0][:240] if found.get("message") else ""
        failing.append(f"{case.get('classname')}::{case.get('name')} {outcome}: {why}")
print(" ".join(f"{k} {v}" for k, v in counts.items()), f"(of {sum(counts.values())})")
if sys.argv[2]:
    with open(sys.argv[2], "w") as out:
        out.write("\n".join(failing) + "\n")
EOF
