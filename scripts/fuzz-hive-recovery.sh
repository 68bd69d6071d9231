#!/usr/bin/env bash
# Builds the fuzzer of hive recovery (a primary and its two logs) with clang (libFuzzer,
# AddressSanitizer, UBSan) and runs it, seeded with the dirty reference hives of the shared
# test data folder when it is beside the repository, and with the demo hive and empty logs.
#   scripts/fuzz-hive-recovery.sh [seconds]   (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
source scripts/fuzz-build.sh
fuzz_build fuzz_hive_recovery configurator
corpus="$build/fuzz-corpus/hive-recovery"
mkdir -p "$corpus"
# seed NAME PRIMARY LOG1 LOG2: the fuzzer's input format (two lengths, then the three files),
# with checksums and hashes made right by the fuzzer.
seed() {
  python3 - "$corpus/$1" "$2" "$3" "$4" <<'PY'
import struct, sys, os
out, files = sys.argv[1], sys.argv[2:]
data = [open(f, 'rb').read() if os.path.exists(f) else b'' for f in files]
open(out, 'wb').write(struct.pack('<II', len(data[0]) | 0x80000000, len(data[1])) + b''.join(data))
PY
}
if [ ! -f "$corpus/demo" ]; then
  seeds=$(mktemp -d)
  trap 'rm -rf "$seeds"' EXIT
  XDG_DATA_HOME=$seeds "$build/programs/configurator" --list-adapters >/dev/null 2>&1
  seed demo "$seeds/configurator/SYSTEM" /dev/null /dev/null
  reference=../shared/testdata/hives
  if [ -d "$reference" ]; then
    seed new "$reference/NewDirtyHive1/NewDirtyHive" "$reference/NewDirtyHive1/NewDirtyHive.LOG1" \
      "$reference/NewDirtyHive1/NewDirtyHive.LOG2"
    seed old "$reference/OldDirtyHive/OldDirtyHive" "$reference/OldDirtyHive/OldDirtyHive.LOG1" \
      "$reference/OldDirtyHive/OldDirtyHive.LOG2"
  fi
fi
# -rss_limit_mb keeps a runaway allocation from taking the shared machine down.
"$build/tests/hive/fuzz_hive_recovery" -max_total_time="$seconds" -rss_limit_mb=1024 -max_len=1200000 \
  -print_final_stats=1 "$corpus"
