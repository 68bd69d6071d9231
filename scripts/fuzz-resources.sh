#!/usr/bin/env bash
# Builds the resource parser's fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in its own
# build directory and runs it, seeded with the program's compiled resources.
#   scripts/fuzz-resources.sh [seconds]   (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
source scripts/fuzz-build.sh
fuzz_build fuzz_resources
corpus="$build/fuzz-corpus/resources"
mkdir -p "$corpus"
cp "$build/res/Configurator.res" "$corpus/Configurator.res"
# -rss_limit_mb keeps a runaway allocation from taking the shared machine down.
"$build/tests/fuzz/fuzz_resources" -max_total_time="$seconds" -rss_limit_mb=1024 -max_len=65536 \
  -print_final_stats=1 "$corpus"
