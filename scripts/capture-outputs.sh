#!/usr/bin/env bash
# Captures what the native program prints and writes, on its demo data, on the reference dirty
# hives and on the failure cases, so that a change meant to keep behaviour can be checked by
# capturing before and after and comparing: diff -r BEFORE AFTER.
# Every run gets the same HOME, data folder, time zone and paths, and a preloaded shim pins the
# clock, so the bytes of the files written (hives, logs, backups, exports) are comparable too.
#   scripts/capture-outputs.sh OUTDIR [PROGRAM]     (PROGRAM: build/posix/programs/configurator)
set -uo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: capture-outputs.sh OUTDIR [PROGRAM]}
program=$(realpath "${2:-$tree/build/posix/programs/configurator}")
reference=${HIVE_REFERENCE_DIR:-$tree/../shared/testdata/hives}
rm -rf "$out" && mkdir -p "$out" && out=$(realpath "$out")

# One fixed place to run in: the paths in messages are the same in every capture.
work=/tmp/configurator-capture
rm -rf "$work" && mkdir -p "$work/home" "$work/files"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
shim=$work/fixed-time.so
cat >"$work/fixed-time.c" <<'C'
#define _GNU_SOURCE
#include <sys/time.h>
#include <time.h>
static const time_t fixed = 1700000000;
time_t time(time_t* t) { if (t) *t = fixed; return fixed; }
int clock_gettime(clockid_t id, struct timespec* ts) { (void)id; ts->tv_sec = fixed; ts->tv_nsec = 0; return 0; }
int gettimeofday(struct timeval* tv, void* tz) { (void)tz; if (tv) { tv->tv_sec = fixed; tv->tv_usec = 0; } return 0; }
C
cc -shared -fPIC -O1 -o "$shim" "$work/fixed-time.c" || exit 1

export HOME=$work/home XDG_DATA_HOME=$work/home/data TZ=UTC LC_ALL=C.UTF-8
files=$work/files
data=$XDG_DATA_HOME/configurator
count=0

# run NAME [ARGS...]: one run, its output, status and the files it left, under OUTDIR/NAME.
# Standard input is empty unless STDIN names a file.
run() {
  local name=$1
  shift
  count=$((count + 1))
  local dir
  dir=$out/$(printf '%03d' "$count")-$name
  mkdir -p "$dir"
  (cd "$files" && LD_PRELOAD=$shim "$program" "$@" <"${STDIN:-/dev/null}" >"$dir/stdout" 2>"$dir/stderr")
  echo $? >"$dir/status"
  printf '%s\n' "$@" >"$dir/args"
  snapshot "$dir/tree"
}
# The bytes of every file in the data folder and the scratch folder, as they are now.
snapshot() {
  mkdir -p "$1"
  (cd "$work/home" && find . -type f -print0 | sort -z | xargs -0r sha256sum) >"$1/home.sha256"
  (cd "$files" && find . -type f ! -name '*.fifo' -print0 | sort -z | xargs -0r sha256sum) >"$1/files.sha256"
  local hive
  while IFS= read -r -d '' hive; do
    hivexregedit --export "$hive" '\' >"$1/$(echo "${hive#"$work"/}" | tr / _).reg" 2>&1
  done < <(find "$data" "$files" -type f \( -name SYSTEM -o -name '*.hive' \) -print0 2>/dev/null | sort -z)
}

# --- the demo --------------------------------------------------------------------------------
run help --help
run version --version
run list-first --list-adapters
run list-again --list-adapters
run query --query
run query-windows /query
run set --set LODBias=0.50 --set "vsync=VSYNC OFF" --set CmdFifoSize=768K --set TripleBuffer=on
run set-norefresh --set MipMapDithering=Enable --no-refresh
run set-query --set VSync=Software --query
run set-windows /set:DDIVersion=8
run export --export "$files/saved.reg"
run export-stdout --export -
run set-more --set LODBias=-2.0 --set VSync="Vsync On" --set DDIVersion=7 --set AntiAliasing=Fastest
run import --import "$files/saved.reg"
STDIN=$files/saved.reg run import-stdin --import -
run keep-backups --keep-backups 1 --set LODBias=1.25 --no-refresh
run backup-dir --backup-dir "$files/backups" --set LODBias=0.25 --no-refresh
run handoff-query '\\.\DISPLAY2&&&\Registry\Machine\System\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000' --query
run board-query --board "$data/board" --query

# --- command lines that are refused ----------------------------------------------------------
run bad-option --frobnicate
run two-handoffs one two
run hive-no-path --hive
run keep-zero --keep-backups 0 --query
run keep-text --keep-backups=x --query
run bad-setting --set Nonsense=1
run bad-value --set LODBias=7
run two-values --set LODBias=0.50 --set LODBias=0.25
run bad-switch /frobnicate
run set-empty /set:
run export-empty /export:
run export-and-query --export - --query
run adapter-bad --adapter 0 --query
run no-terminal '\\.\DISPLAY2&&&\Registry\Machine\System\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'

# --- files that are missing, unreadable or damaged -------------------------------------------
# A copy of a hive made dirty: its primary sequence number one past the secondary (whatever they
# were), so its checksum no longer holds either.
dirty_copy() {
  local secondary
  secondary=$(od -An -tu4 -j8 -N4 "$1" | tr -d ' ')
  cp "$1" "$2" && printf '%08x' $(((secondary + 1) & 0xffffffff)) | sed -E 's/(..)(..)(..)(..)/\\x\4\\x\3\\x\2\\x\1/' |
    xargs -0 printf | dd of="$2" bs=1 seek=4 conv=notrunc status=none
}
mkfifo "$files/pipe.fifo"
printf 'Windows Registry Editor Version 5.00\r\n' >"$files/text.reg"
: >"$files/empty"
head -c 6000 "$data/SYSTEM" >"$files/truncated"
dirty_copy "$data/SYSTEM" "$files/dirty-damaged"
cp "$data/SYSTEM" "$files/bad-signature" && printf 'xegf' | dd of="$files/bad-signature" bs=1 seek=0 conv=notrunc status=none
cp "$data/SYSTEM" "$files/bad-bin" && printf 'xbin' | dd of="$files/bad-bin" bs=1 seek=4096 conv=notrunc status=none
printf 'device A B fancy\n' >"$files/badboard"
printf 'device \\\\.\\DISPLAY1 B board\nlog dr\0ver.log\n' >"$files/nulboard"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\x]\n"a"=dword:zz\n' >"$files/bad.reg"
run hive-missing --hive "$files/none" --list-adapters
run hive-directory --hive "$files" --list-adapters
run hive-fifo --hive "$files/pipe.fifo" --list-adapters
run hive-text --hive "$files/text.reg" --list-adapters
run hive-empty --hive "$files/empty" --list-adapters
run hive-truncated --hive "$files/truncated" --list-adapters
run hive-dirty-damaged --hive "$files/dirty-damaged" --list-adapters
run hive-bad-signature --hive "$files/bad-signature" --list-adapters
run hive-bad-bin --hive "$files/bad-bin" --list-adapters
run check-demo --check-hive "$data/SYSTEM"
run check-missing --check-hive "$files/none"
run check-text --check-hive "$files/text.reg"
run check-truncated --check-hive "$files/truncated"
run check-dirty-damaged --check-hive "$files/dirty-damaged"
run check-bad-bin --check-hive "$files/bad-bin"
run board-bad --board "$files/badboard" --list-adapters
run board-missing --board "$files/noboard" --list-adapters
run board-directory --board "$files" --list-adapters
run board-nul --board "$files/nulboard" --list-adapters
run import-missing --import "$files/none.reg"
run import-bad --import "$files/bad.reg"
run import-header-only --import "$files/text.reg"
run export-no-folder --export "$files/no-such-folder/x.reg"
run export-directory --export "$files"
run export-full --export /dev/full
cp "$data/SYSTEM" "$files/locked.hive" && chmod 444 "$files/locked.hive"
run hive-locked --hive "$files/locked.hive" --board "$data/board" --set LODBias=0.50

# --- another hive: a copy of the demo, set and exported through --hive -----------------------
cp "$data/SYSTEM" "$files/copy.hive"
run copy-list --hive "$files/copy.hive" --list-adapters
run copy-set --hive "$files/copy.hive" --adapter 1 --set LODBias=1.00 --set DDIVersion=9
run copy-export --hive "$files/copy.hive" --adapter 1 --export "$files/copy.reg"

# --- the reference dirty hives, with their logs, without them, with a damaged one ------------
for case in OldDirtyHive/OldDirtyHive NewDirtyHive1/NewDirtyHive; do
  name=${case##*/}
  mkdir -p "$files/$name"
  cp "$reference/${case%/*}"/* "$files/$name/" && chmod -R u+w "$files/$name"
  run "$name-logs" --hive "$files/$name/$name" --list-adapters
  run "$name-logs-query" --hive "$files/$name/$name" --query
  run "$name-logs-check" --check-hive "$files/$name/$name"
  mv "$files/$name/$name.LOG2" "$files/$name/LOG2.kept"
  run "$name-no-log2" --hive "$files/$name/$name" --list-adapters
  mv "$files/$name/$name.LOG1" "$files/$name/LOG1.kept"
  run "$name-no-logs" --hive "$files/$name/$name" --list-adapters
  mv "$files/$name/LOG1.kept" "$files/$name/$name.LOG1" && mv "$files/$name/LOG2.kept" "$files/$name/$name.LOG2"
done
printf '\x55' | dd of="$files/NewDirtyHive/NewDirtyHive.LOG2" bs=1 seek=4512 conv=notrunc status=none
run NewDirtyHive-damaged-log --hive "$files/NewDirtyHive/NewDirtyHive" --list-adapters
cp "$files/OldDirtyHive/OldDirtyHive" "$files/old-dirty-damaged" && printf '\x07' | dd of="$files/old-dirty-damaged" bs=1 seek=4 conv=notrunc status=none
run old-dirty-damaged-no-logs --hive "$files/old-dirty-damaged" --list-adapters
# The demo made dirty (its sequence numbers differ) with no logs: read-only.
dirty_copy "$data/SYSTEM" "$files/dirty.hive"
run demo-dirty-no-logs --hive "$files/dirty.hive" --board "$data/board" --set LODBias=0.50

# --- backups beside a hive in a Windows folder, listed and put back ---------------------------
mkdir -p "$files/disk/WINDOWS/system32/config"
cp "$data/SYSTEM" "$files/disk/WINDOWS/system32/config/SYSTEM"
run beside-set --hive "$files/disk/WINDOWS/system32/config/SYSTEM" --adapter 1 --set LODBias=1.25
run beside-list --hive "$files/disk/WINDOWS/system32/config/SYSTEM" --list-backups
run beside-restore --hive "$files/disk/WINDOWS/system32/config/SYSTEM" --restore-backup 1
run beside-list-after --hive "$files/disk/WINDOWS/system32/config/SYSTEM" --list-backups
run beside-restore-missing --hive "$files/disk/WINDOWS/system32/config/SYSTEM" --restore-backup 9
run demo-list --list-backups

echo "captured $count runs into $out"
