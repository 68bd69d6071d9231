#!/usr/bin/env bash
# Builds the hive fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in its own build
# directory and runs it, seeded with the demo hive, an empty hive, a hive without adapters and
# the inputs that once ended the process (tests/hive/data).
#   scripts/fuzz-hive.sh [seconds]   (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
source scripts/fuzz-build.sh
fuzz_build fuzz_hive configurator
corpus="$build/fuzz-corpus/hive"
mkdir -p "$corpus"
if [ ! -f "$corpus/demo" ]; then
  seeds=$(mktemp -d)
  trap 'rm -rf "$seeds"' EXIT
  XDG_DATA_HOME=$seeds "$build/programs/configurator" --list-adapters >/dev/null 2>&1
  cp "$seeds/configurator/SYSTEM" "$corpus/demo"
  cp "$corpus/demo" "$corpus/no-adapters"
  printf 'cd \\ControlSet001\\Control\\Video\ndel\ncommit\n' | HOME=$seeds hivexsh -w "$corpus/no-adapters"
  cp "$corpus/demo" "$corpus/empty"
  printf 'cd \\ControlSet001\ndel\ncd \\Select\ndel\ncommit\n' | HOME=$seeds hivexsh -w "$corpus/empty"
fi
# Inputs that once ended the process stay in the corpus.
cp tests/hive/data/hive-set-values-abort "$corpus/"
# -rss_limit_mb keeps a runaway allocation from taking the shared machine down.
"$build/tests/hive/fuzz_hive" -max_total_time="$seconds" -rss_limit_mb=1024 -max_len=65536 \
  -print_final_stats=1 "$corpus"
