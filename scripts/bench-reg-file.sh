#!/usr/bin/env bash
# Benchmark of reading profiles: the parser and the import on the shapes that are hardest for
# them (one value continued over every line, one long line, many keys, many values, many
# adapters' keys), from 256 KiB to the 16 MiB a profile may hold, beside reading the same bytes
# from a file. The time of each should grow as the size does (bytes_per_second stays level).
# Usage: scripts/bench-reg-file.sh [BUILD-DIR] [BENCHMARK-FLAGS...]   (e.g. --benchmark_filter=Parse)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
shift || true
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target reg_file_bench -j2 >/dev/null
"$build/tests/commands/reg_file_bench" "$@"
