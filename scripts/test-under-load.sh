#!/usr/bin/env bash
# Runs the native and the sanitizer suites RUNS times each (default 3) while every core is kept
# busy by another process, to show that no test decides by timing. Needs both presets built
# (scripts/test.sh builds them). Usage: scripts/test-under-load.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
jobs=$(nproc)
busy=()
stop_busy() { [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true; }
trap stop_busy EXIT
for _ in $(seq "$jobs"); do
  yes >/dev/null &
  busy+=($!)
done
echo "test-under-load: $jobs busy processes (${busy[*]}), $runs runs of each suite"
for preset in posix posix-asan; do
  for run in $(seq "$runs"); do
    echo "== $preset, run $run of $runs"
    ctest --preset "$preset" -j "$jobs"
  done
done
echo "test-under-load: every run passed"
