#!/usr/bin/env bash
# Builds the package with AddressSanitizer and UndefinedBehaviorSanitizer into its own
# virtual environment and runs the product's quick tests (no services: the history-row
# encoder, the literal reader, the fake-store tests, the live snapshot module and the fuzz
# tests) under it.
set -euo pipefail
cd "$(dirname "$0")/.."

PYTHON=${PYTHON:-python3}
VENV=build/asan-venv
# -O1 without debug info: quick to compile, and the reports still name the functions.
FLAGS="-O1 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

[ -x "$VENV/bin/python" ] || "$PYTHON" -m venv --system-site-packages "$VENV"
"$VENV/bin/python" -m pip install --disable-pip-version-check -q --no-build-isolation --no-deps \
  -C build-dir=build/asan -C cmake.build-type=Sanitized \
  -C "cmake.define.CMAKE_CXX_FLAGS=$FLAGS" -C "cmake.define.CMAKE_C_FLAGS=$FLAGS" \
  -C "cmake.define.CMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" \
  -C "cmake.define.CMAKE_MODULE_LINKER_FLAGS=-fsanitize=address,undefined" .

# The interpreter itself is not instrumented: the runtime is preloaded (with the C++ runtime,
# whose exception functions it must find at start-up), and leaks of the interpreter's own
# allocations are not ours to report.
CXX_BIN=${CXX:-g++}
export LD_PRELOAD="$($CXX_BIN -print-file-name=libasan.so) $($CXX_BIN -print-file-name=libstdc++.so.6)"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# --capture=sys: a sanitizer report goes to the real stderr, not a captured file lost on abort.
PELMORA_FUZZ_EXAMPLES=${PELMORA_FUZZ_EXAMPLES:-30} exec "$VENV/bin/python" -m pytest -q -p no:cacheprovider \
  --capture=sys -m "not stack" \
  tests/records tests/pelmora tests/stravenor tests/fuzz "$@"
