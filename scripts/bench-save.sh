#!/usr/bin/env bash
# Benchmark: one save of ten values by the hive store on a 32 MiB hive, against one `cp` of that
# hive file, median of several runs of each. The save is measured from the first open for
# writing until the new hive is on disk (written, fsynced, renamed, folder fsynced); cp neither
# fsyncs nor renames, so a durable copy (cp, then sync of the copy) is shown as well.
# Usage: scripts/bench-save.sh [RUNS] [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
build=${2:-build/bench}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target hive_bench configurator -j2 >/dev/null
bench=$build/tests/hive/hive_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program makes the demo hive on first use; the helper pads it to 32 MiB.
hive=$work/SYSTEM
XDG_DATA_HOME=$work/data "$build/programs/configurator" --list-adapters >/dev/null 2>&1
cp "$work/data/configurator/SYSTEM" "$hive"
"$bench" grow "$hive" 32
echo "hive: $(du -m "$hive" | cut -f1) MiB, $runs runs each"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
saves=$(for _ in $(seq "$runs"); do "$bench" save "$hive"; done | median)
copies=$(for _ in $(seq "$runs"); do
  start=$(date +%s%N); cp "$hive" "$work/copy"; end=$(date +%s%N); rm -f "$work/copy"
  echo $((end - start))
done | median)
# For reference: the same copy made durable, as the save is.
synced=$(for _ in $(seq "$runs"); do
  start=$(date +%s%N); cp "$hive" "$work/copy"; sync "$work/copy"; end=$(date +%s%N); rm -f "$work/copy"
  echo $((end - start))
done | median)
awk -v s="$saves" -v c="$copies" -v d="$synced" 'BEGIN {
  printf "save of ten values:  %.1f ms (median)\ncp of the hive:      %.1f ms (median)\n", s / 1e6, c / 1e6
  printf "cp, then sync copy:  %.1f ms (median)\nratio save / cp:     %.2fx\n", d / 1e6, s / c }'
