#!/usr/bin/env bash
# Installs what a fresh machine lacks: Debian's servers and the Python packages.
set -euo pipefail
cd "$(dirname "$0")/.."

need_apt=()
command -v redis-server >/dev/null || need_apt+=(redis-server)
command -v mariadbd >/dev/null || [ -x /usr/sbin/mariadbd ] || need_apt+=(mariadb-server)
command -v g++ >/dev/null || need_apt+=(g++)
if [ ${#need_apt[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need_apt[@]}" >/dev/null
fi

python3 -m pip install --disable-pip-version-check -q -r requirements-dev.txt
