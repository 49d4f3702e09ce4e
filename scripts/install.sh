#!/usr/bin/env bash
# Builds the package and installs it into the environment of $PYTHON (python3 by default),
# showing CMake's stages and the compiler's progress as they happen. The whole output goes to
# build/install.log; a failed build ends with the lines that say what failed and what to run.
set -uo pipefail
cd "$(dirname "$0")/.."

PYTHON=${PYTHON:-python3}
LOG=build/install.log
mkdir -p build

if ! "$PYTHON" -c 'import scikit_build_core, pybind11' 2>/dev/null; then
  echo "$PYTHON lacks the build requirements (scikit-build-core, pybind11, cmake, ninja)."
  echo "Run: make deps PYTHON=$PYTHON"
  exit 1
fi

read -r prefix in_venv < <("$PYTHON" -c 'import sys; print(sys.prefix, sys.prefix != sys.base_prefix)')
echo "== pelmora: building for the services of endpoints.env ($(grep -m1 '^CENTRAL_HOST=' endpoints.env)),"
echo "   installing into $prefix"
if [ "$in_venv" != True ]; then
  echo "   (not a virtual environment: every user of this interpreter gets this build and its addresses)"
fi

# Ninja's progress line with the seconds since the build started.
export NINJA_STATUS=${NINJA_STATUS:-"[%f/%t %es] "}
started=$SECONDS
"$PYTHON" -m pip install -v --disable-pip-version-check --no-build-isolation --no-deps . >"$LOG" 2>&1 &
pip_pid=$!
# Progress from the log as it grows: CMake's stages, Ninja's steps, compiler diagnostics.
tail -n +1 -f --pid=$pip_pid "$LOG" \
  | grep --line-buffered -E '^ *(\*\*\* |\[[0-9]+/[0-9]+ |CMake (Error|Warning)|FAILED:|.*(error|warning):)' \
  | sed -u 's/^ *//'
wait $pip_pid
status=$?

if [ $status -eq 0 ]; then
  echo "== installed in $((SECONDS - started)) s ($(grep -m1 '^Successfully installed' "$LOG" || echo 'pip: done'))"
  exit 0
fi

echo
echo "== build failed after $((SECONDS - started)) s (exit $status). What failed:"
if grep -qE 'FAILED:|CMake Error' "$LOG"; then
  grep -m1 -E 'FAILED:|CMake Error' "$LOG" | sed 's/^ *//'
  grep -m8 -E '(error|Error):' "$LOG" | sed 's/^ */  /'
else
  grep -v '^ *$' "$LOG" | tail -n 12 | sed 's/^ */  /'
fi
if grep -q 'error: redefinition of' "$LOG"; then
  echo "Two files of one folder define the same file-scope name and are compiled as one unit:"
  echo "list one of them in PELMORA_UNITY_ALONE (src/pelmora/CMakeLists.txt), or rename the name."
fi
echo "Whole output: $LOG"
echo "After fixing it: make install PYTHON=$PYTHON"
echo "(a missing build requirement: make deps PYTHON=$PYTHON; a stale build dir: rm -rf build/cp*)"
exit $status
