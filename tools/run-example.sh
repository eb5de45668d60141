#!/usr/bin/env bash
# The main job: builds the release `vesk` and runs the example reply template against the example
# message, exactly as the mail client would run it when a reply window opens.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
  need=()
  for p in cmake make g++ pkg-config libgmime-3.0-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
fi
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc 2>/dev/null || echo 2)" --target vesk >/dev/null
exec build/release/host/vesk run examples/reply.vesk --ref examples/messages/plain.eml \
  --now 2026-12-11T09:30:00 "$@"
