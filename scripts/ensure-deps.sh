#!/usr/bin/env bash
# Installs what a fresh machine lacks: Debian's servers and the Python packages, the latter
# into the interpreter that builds and tests ($PYTHON, python3 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

PYTHON=${PYTHON:-python3}

need_apt=()
command -v redis-server >/dev/null || need_apt+=(redis-server)
command -v mariadbd >/dev/null || [ -x /usr/sbin/mariadbd ] || need_apt+=(mariadb-server)
command -v g++ >/dev/null || need_apt+=(g++)
command -v ccache >/dev/null || need_apt+=(ccache)
if [ ${#need_apt[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # The local stack runs its own redis-server and mariadbd; keep the packages' init
  # scripts from starting the distribution's servers on the same ports.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy"
    chmod +x "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq "${need_apt[@]}" >/dev/null
fi

if ! "$PYTHON" -m pip install --disable-pip-version-check -q -r requirements-dev.txt; then
  echo "== installing requirements-dev.txt with $PYTHON failed (pip's reason above)."
  echo "In a virtual environment of its own nothing else is in the way:"
  echo "  python3 -m venv .venv && make demo PYTHON=.venv/bin/python"
  exit 1
fi
