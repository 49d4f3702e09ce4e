#!/usr/bin/env bash
# Builds the package and runs its quick tests (fakes and pure functions, no stack) on the
# other Python versions pyenv offers, and once with the oldest pandas and numpy the package
# allows. Each target gets its own virtual environment under build/compat/, kept between runs
# (the CMake build dirs under build/ are per interpreter, so rebuilds are incremental).
#
#   scripts/compat.sh              all targets
#   scripts/compat.sh 3.12-oldest  only the named targets
set -euo pipefail
cd "$(dirname "$0")/.."

PYTHON=${PYTHON:-python3}
PYENV_VERSIONS=${PYENV_VERSIONS:-/root/.pyenv/versions}
QUICK_TESTS=(tests/records tests/pelmora tests/fuzz)
export PELMORA_FUZZ_EXAMPLES=${PELMORA_FUZZ_EXAMPLES:-30}

# name  interpreter  pins on top of the package's own ranges (space separated, may be empty)
TARGETS=(
  "3.10 3.10.13"
  "3.12 3.12.1"
  "3.13 3.13.0"
  "3.12-oldest 3.12.1 pandas==2.2.* numpy==1.26.*"
)

wanted=("$@")
pip_quiet=(--disable-pip-version-check -q)
failed=()
summary=()

is_wanted() {
  [ ${#wanted[@]} -eq 0 ] && return 0
  local w
  for w in "${wanted[@]}"; do [ "$w" = "$1" ] && return 0; done
  return 1
}

# What a desk's environment gets: the build requirements and the runtime dependencies of
# pyproject.toml, with the pins applied on top, plus the quick tests' own tools.
requirements() {
  "$PYTHON" - "$@" <<'PY'
import re, sys, tomllib
with open("pyproject.toml", "rb") as f:
    meta = tomllib.load(f)
pins = sys.argv[1:]
name = lambda req: re.split(r"[<>=!~ \[]", req, maxsplit=1)[0].lower().replace("_", "-")
pinned = {name(p) for p in pins}
quick_tests = {"pytest", "hypothesis", "chdb"}  # chdb: the fuzz tests judge statements with its parser
reqs = meta["build-system"]["requires"] + ["cmake>=3.18", "ninja"] + meta["project"]["dependencies"]
reqs += [r for r in meta["project"]["optional-dependencies"]["test"] if name(r) in quick_tests]
print("\n".join([r for r in reqs if name(r) not in pinned] + pins))
PY
}

run_target() {
  local name=$1 version=$2
  shift 2
  local pins=("$@")
  local python="$PYENV_VERSIONS/$version/bin/python3"
  local venv="build/compat/$name"
  if [ ! -x "$python" ]; then
    echo "== $name: no interpreter at $python"
    return 1
  fi
  echo "== $name: Python $version ${pins[*]:-}"
  [ -x "$venv/bin/python" ] || "$python" -m venv "$venv"
  local reqs
  mapfile -t reqs < <(requirements "${pins[@]}")
  "$venv/bin/python" -m pip install "${pip_quiet[@]}" "${reqs[@]}"
  "$venv/bin/python" -m pip install "${pip_quiet[@]}" --no-build-isolation --no-deps .
  "$venv/bin/python" -c 'import sys, numpy, pandas, pelmora.Pelmora as P; print("   python", sys.version.split()[0], "pandas", pandas.__version__, "numpy", numpy.__version__, "pelmora", P.__version__)'
  "$venv/bin/python" -m pytest -q -p no:cacheprovider -m "not stack" "${QUICK_TESTS[@]}"
}

for target in "${TARGETS[@]}"; do
  read -r -a fields <<< "$target"
  name=${fields[0]}
  is_wanted "$name" || continue
  started=$SECONDS
  if run_target "${fields[@]}"; then
    summary+=("$name: passed in $((SECONDS - started)) s")
  else
    summary+=("$name: FAILED after $((SECONDS - started)) s")
    failed+=("$name")
  fi
done

echo
printf '%s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ]
