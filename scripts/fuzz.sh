#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan: the fuzz preset, in
# build/fuzz) and runs them, one after the other, each for SECONDS (default 60):
#   scripts/fuzz.sh [TARGET|all] [SECONDS]
# SECONDS 0 builds the targets and runs none (scripts/test.sh does that, so that they keep building).
# Targets: hive recovery resources hand_off query_string reg_file board_file decimal escape switches
# restore_record check_hive hive_edit
# (see tests/fuzz/CMakeLists.txt). Extra libFuzzer flags can be given in FUZZ_FLAGS, e.g.
# FUZZ_FLAGS=-runs=10000000 for a run of a set number of inputs.
#
# Each target's corpus is build/fuzz/corpus/TARGET, seeded on every run with the inputs kept in
# the tree (tests/fuzz/seeds/TARGET and tests/fuzz/regressions/TARGET) and with files this script
# makes from the program's own output (the demo hive, dirty with logs of both formats; the
# compiled resources). Crashes, leaks and timeouts are written to build/fuzz/artifacts/TARGET/;
# one that is fixed belongs in tests/fuzz/regressions/TARGET, which the native tests run
# (fuzz_inputs_tests). One summary line per target; the exit status is 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
all=(hive recovery resources hand_off query_string reg_file board_file decimal escape switches restore_record
  check_hive hive_edit)
which=${1:-all}
seconds=${2:-60}
if [ "$which" = all ]; then
  targets=("${all[@]}")
elif [[ " ${all[*]} " == *" $which "* ]]; then
  targets=("$which")
else
  echo "fuzz.sh: unknown target '$which' (one of: all ${all[*]})" >&2
  exit 2
fi

# The fuzz preset (CMakePresets.json): clang, libFuzzer and the sanitizers, in build/fuzz.
build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target configurator "${targets[@]/#/fuzz_}"
if [ "$seconds" = 0 ]; then
  echo "fuzz.sh: built ${targets[*]}"
  exit 0
fi

# AddressSanitizer keeps freed memory out of use for a while to catch late uses; with its default
# of 256 MiB, every run of the hive targets touches fresh pages, at a third of the speed.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

# The hive target writes its files in a scratch folder of its own under TMPDIR, removed when it
# exits; kept under build/ so that one that crashed leaves nothing in /tmp.
export TMPDIR=$PWD/$build/tmp
mkdir -p "$TMPDIR"

# Seeds of the hive and recovery targets (see tests/fuzz/HiveFuzzInput.h): the demo hive clean,
# and dirty (sequence numbers 3/2) with a new-format LOG1 (one entry), with LOG1 and LOG2 chained
# (entries 2, then 3 and 4), and with an old-format LOG1; checksums and hashes are made right by
# the targets. Each entry rewrites one 4 KiB page, so the seeds stay small.
hive_seeds() {
  local out=$1 made
  made=$(mktemp -d "$TMPDIR/seeds.XXXXXX")
  XDG_DATA_HOME=$made "$build/programs/configurator" --list-adapters >/dev/null 2>&1
  python3 - "$made/configurator/SYSTEM" "$out" <<'PY'
import os, struct, sys
hive, out = open(sys.argv[1], 'rb').read(), sys.argv[2]
u32 = lambda b, at: struct.unpack_from('<I', b, at)[0]
def put(b, at, value):
    b[at:at + 4] = struct.pack('<I', value)
def seed(name, primary, log1=b'', log2=b'', empty_logs=True):
    head = struct.pack('<II', len(primary) | 0x80000000, len(log1) | (0x80000000 if empty_logs else 0))
    open(os.path.join(out, name), 'wb').write(head + bytes(primary) + bytes(log1) + bytes(log2))
def header(sequence, file_type):
    base = bytearray(hive[:512])
    put(base, 4, sequence); put(base, 8, sequence); put(base, 28, file_type)
    return base
def entry(sequence, page_at):
    page = hive[4096 + page_at:4096 + page_at + 4096]
    e = bytearray(b'HvLE' + bytes(36)) + struct.pack('<II', page_at, 4096) + page
    e += bytes(-len(e) % 512)
    put(e, 4, len(e)); put(e, 12, sequence); put(e, 16, u32(hive, 40)); put(e, 20, 1)
    return bytes(e)
dirty = bytearray(hive)
put(dirty, 4, 3); put(dirty, 8, 2)
seed('demo', hive, empty_logs=False)
seed('dirty-log1', dirty, header(2, 6) + entry(2, 0))
seed('dirty-chained', dirty, header(2, 6) + entry(2, 0), header(3, 6) + entry(3, 4096) + entry(4, 0))
bins = u32(hive, 40)
old = header(2, 1) + b'DIRT' + b'\xff' + bytes(bins // 4096 - 1)
old += bytes(-len(old) % 512) + hive[4096:8192]
seed('dirty-old-format', dirty, old)
PY
  rm -rf "$made"
}

# Seeds of the check_hive and hive_edit targets: the demo hive as the program makes it, in its
# format (1.3) and as 1.5, whose new lists are "lh" lists and long data "db" segments; for
# hive_edit after a byte that gives it no edits (the edits are the fuzzer's to find).
check_seeds() {
  local out=$1 edits=${2:-} made
  made=$(mktemp -d "$TMPDIR/seeds.XXXXXX")
  XDG_DATA_HOME=$made "$build/programs/configurator" --list-adapters >/dev/null 2>&1
  python3 - "$made/configurator/SYSTEM" "$out" "$edits" <<'PY'
import os, struct, sys
hive, out, edits = bytearray(open(sys.argv[1], 'rb').read()), sys.argv[2], sys.argv[3] == 'edits'
for minor in (3, 5):
    struct.pack_into('<I', hive, 24, minor)
    open(os.path.join(out, 'demo-1.%d' % minor), 'wb').write((b'\0' if edits else b'') + bytes(hive))
PY
  rm -rf "$made"
}

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  for kept in tests/fuzz/seeds/$target tests/fuzz/regressions/$target; do
    if [ -d "$kept" ]; then cp "$kept"/* "$corpus/"; fi
  done
  case $target in
    hive | recovery) hive_seeds "$corpus" ;;
    check_hive) check_seeds "$corpus" ;;
    hive_edit) check_seeds "$corpus" edits ;;
    resources) cp "$build/res/Configurator.res" "$corpus/Configurator.res" ;;
  esac
  max_len=4096
  case $target in
    hive | recovery | resources | check_hive | hive_edit) max_len=65536 ;;
  esac
  dict=()
  case $target in
    hive | recovery | check_hive | hive_edit) dict=(-dict=tests/fuzz/hive.dict) ;;
  esac
  before=$(find "$artifacts" -type f | wc -l)
  log=$build/$target.log
  # -rss_limit_mb also limits any one allocation: memory beyond what the input backs is a finding.
  # shellcheck disable=SC2086
  if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -max_len="$max_len" -artifact_prefix="$artifacts/" -print_final_stats=1 "${dict[@]}" ${FUZZ_FLAGS:-} \
    "$corpus" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
  fi
  found=$(($(find "$artifacts" -type f | wc -l) - before))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-12s %s inputs, %s/s, coverage %s (features %s), corpus %s, %s new crash/leak/timeout files: %s\n' \
    "$target" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$(find "$corpus" -type f | wc -l)" "$found" "$result"
done
exit $status
