#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 60) each in the fuzz preset, where all code is
# instrumented, starting from the corpus in the repository. New inputs go to build/fuzz-corpus;
# crashes, sanitizer reports and timeouts go to build/fuzz-findings/TARGET/ and fail the run.
# Usage: tests/fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(program eval html mailid message)

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$(nproc)" \
  $(printf -- '--target fuzz_%s ' "${targets[@]}") >/dev/null || exit 2

status=0
for t in "${targets[@]}"; do
  work=build/fuzz-corpus/$t findings=build/fuzz-findings/$t
  mkdir -p "$work" "$findings"
  log=$findings/log.txt
  ASAN_OPTIONS=detect_leaks=1 build/fuzz/tests/fuzz/fuzz_$t "$work" "tests/fuzz/corpus/$t" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -artifact_prefix="$findings/" \
    -print_final_stats=1 >"$log" 2>&1
  rc=$?
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  if [ $rc -ne 0 ]; then
    status=1
    echo "fuzz_$t: FINDING after ${runs:-?} executions (see $log)"
  else
    echo "fuzz_$t: ${runs:-?} executions in ${seconds}s, nothing found"
  fi
done
exit $status
