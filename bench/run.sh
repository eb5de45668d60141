#!/usr/bin/env bash
# Builds the release binaries and runs every benchmark workload side by side with Lua 5.4 and
# Tcl 8.6 (installing them as root when missing). Extra arguments go to bench/run.py.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
  need=()
  for p in lua5.4 tcl8.6 python3; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
  fi
fi
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc 2>/dev/null || echo 2)" --target vesk html_to_text_bench >/dev/null
exec python3 bench/run.py "$@"
