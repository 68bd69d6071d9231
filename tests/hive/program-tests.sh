#!/usr/bin/env bash
# The configurator program as a user meets it: the demo data folder, --list-adapters, the
# messages and exit codes for bad command lines and bad hives, and one saving dialog in a
# terminal (tmux), with the hive checked by hivexget and the driver's log read afterwards.
# Usage: program-tests.sh PATH-TO-CONFIGURATOR
set -uo pipefail
program=$1
scratch=$(mktemp -d)
# A tmux server of our own: other sessions, and their environment, stay out of the test.
socket="cfg-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null; umount "$scratch/ro" "$scratch/full" 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_DATA_HOME=$scratch/data HOME=$scratch/home
mkdir -p "$HOME" && : >"$HOME/.hivexsh"  # hivexsh reads it at start
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect CODE PATTERN -- ARGS...: exit code and a line of the output (stdout and stderr).
expect() {
  local code=$1 pattern=$2
  shift 3
  local output status
  output=$("$program" "$@" 2>&1)
  status=$?
  [ "$status" -eq "$code" ] || fail "configurator $* exited $status, not $code: $output"
  grep -qF -- "$pattern" <<<"$output" || fail "configurator $* did not say '$pattern': $output"
}

board_key='\Registry\Machine\System\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'
data=$XDG_DATA_HOME/configurator

# First run: the demo folder is made, then listed.
expect 0 "made the demo hive and board in $data" -- --list-adapters
expect 0 "Hand-off:  '\\\\.\\DISPLAY2&&&$board_key'" -- --list-adapters
expect 0 "Adapter:   QEL 700 M720 Dual" -- --list-adapters
expect 0 "Memory:    64 Meg" -- --list-adapters
[ "$(hivexget "$data/SYSTEM" Select Current)" = 1 ] || fail "demo hive Select\\Current"
before=$(stat -c %Y-%i "$data/SYSTEM")
expect 0 "Adapter:   Standard VGA Adapter" -- --list-adapters
[ "$(stat -c %Y-%i "$data/SYSTEM")" = "$before" ] || fail "the demo hive was made again"

# A hive with no adapters.
cp "$data/SYSTEM" "$scratch/NOADAPTERS"
printf 'cd \\ControlSet001\\Control\\Video\ndel\ncommit\n' | hivexsh -w "$scratch/NOADAPTERS"
expect 0 "No display adapters" -- --hive "$scratch/NOADAPTERS" --list-adapters

# The adapter's hardware information reads as the main dialog reads it: a memory size that is
# missing is 0, a text of an odd number of bytes keeps its last character (setval replaces
# every value of the key).
cp "$data/SYSTEM" "$scratch/ODDINFO"
printf 'cd \\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000\nsetval 2\nHardwareInformation.AdapterString\nhex:3:41,00,42,00,43\nHardwareInformation.BiosString\nstring:x\ncommit\n' |
  hivexsh -w "$scratch/ODDINFO"
expect 0 "Adapter:   ABC" -- --hive "$scratch/ODDINFO" --list-adapters
expect 0 "Memory:    0 Meg" -- --hive "$scratch/ODDINFO" --list-adapters

# Command lines and files that cannot be used.
expect 0 "Usage: configurator" -- --help
expect 0 "configurator 1.0.0.3" -- --version
expect 64 "unknown option --frobnicate" -- --frobnicate
expect 64 "only one HAND-OFF" -- one two
expect 64 "--hive needs a PATH" -- --hive
expect 66 "$scratch/none: no such hive file" -- --hive "$scratch/none"
expect 66 "$scratch: cannot read the hive file: Is a directory" -- --hive "$scratch"
mkfifo "$scratch/fifo"
expect 66 "$scratch/fifo: cannot read the hive file: not a regular file" -- --hive "$scratch/fifo"
printf 'Windows Registry Editor Version 5.00\r\n' >"$scratch/text.reg"
expect 65 "not a registry hive file" -- --hive "$scratch/text.reg"
head -c 6000 "$data/SYSTEM" >"$scratch/truncated"
expect 65 "damaged" -- --hive "$scratch/truncated"
# A dirty hive that cannot be read at all still says what to do.
cp "$data/SYSTEM" "$scratch/dirty-damaged" && printf '\x07' | dd of="$scratch/dirty-damaged" bs=1 seek=4 conv=notrunc 2>/dev/null
expect 65 "damaged and cannot be read (the hive is dirty and has no transaction log beside it." -- --hive "$scratch/dirty-damaged"
: >"$scratch/empty"
expect 65 "not a registry hive file" -- --hive "$scratch/empty"
# A 12 KiB dirty hive whose 1 KiB log claims 4 GiB of bins (the fuzz input kept for it: 8 bytes of
# lengths, the hive, the log) is refused at once, naming the log and the offset, within a memory
# limit far below that (not under AddressSanitizer, which reserves terabytes of address space).
kept=$(dirname "$0")/../fuzz/regressions/recovery/huge-bins-size
mkdir -p "$scratch/huge" && dd if="$kept" of="$scratch/huge/SYSTEM" iflag=skip_bytes,count_bytes skip=8 count=12288 status=none &&
  tail -c 1024 "$kept" >"$scratch/huge/SYSTEM.LOG1"
limit=unlimited
ldd "$program" | grep libasan >/dev/null || limit=$((512 * 1024))
(ulimit -v $limit && failures=0 && expect 0 "Read-only: the hive is dirty and its transaction log SYSTEM.LOG1 cannot be replayed: \
the entry at offset 512 claims 4294963200 bytes of hive bins, more than a hive can hold" -- --hive "$scratch/huge/SYSTEM" \
  --list-adapters && exit $((failures > 0))) || fail "a log claiming 4 GiB of bins"
# Its log is beside it, so the advice is not to copy the logs.
expect 0 "Nothing can be saved: start Windows and shut it down fully, or use a backup of the hive" -- \
  --hive "$scratch/huge/SYSTEM" --list-adapters
if "$program" --hive "$scratch/huge/SYSTEM" --list-adapters 2>&1 | grep "copy the hive" >/dev/null; then
  fail "a hive whose log is beside it is told to copy its logs"
fi
printf 'device A B fancy\n' >"$scratch/badboard"
expect 65 "$scratch/badboard:1: expected" -- --board "$scratch/badboard" --list-adapters
expect 66 "cannot read board file" -- --board "$scratch/noboard" --list-adapters
# A folder, a file whose reading fails (/proc/self/mem at offset 0) and a line with a NUL byte.
expect 66 "cannot read board file $scratch: Is a directory" -- --board "$scratch" --list-adapters
expect 66 "cannot read board file /proc/self/mem: Input/output error" -- --board /proc/self/mem --list-adapters
printf 'device \\\\.\\DISPLAY1 B board\nlog dr\0ver.log\n' >"$scratch/nulboard"
expect 65 "$scratch/nulboard:2: the line holds a NUL byte" -- --board "$scratch/nulboard" --list-adapters
# What a board file could plant: a command in a device name, a log anywhere but beside it, a
# link where its log goes. The file named stays as it was.
printf 'keep\n' >"$scratch/profile"
printf 'device \\\\.\\DISPLAY2;echo${IFS}x;# K board\nlog %s\n' "$scratch/profile" >"$scratch/shellboard"
expect 65 "$scratch/shellboard:1: a device name is \\\\.\\DISPLAYn, n from 1 to 99" -- \
  --board "$scratch/shellboard" --list-adapters
printf 'device \\\\.\\DISPLAY2 K board\nlog %s\n' "$scratch/profile" >"$scratch/pathboard"
expect 65 "$scratch/pathboard:2: the log is a file beside the board file" -- --board "$scratch/pathboard" --list-adapters
mkdir "$scratch/linked" && ln -s "$scratch/profile" "$scratch/linked/driver.log"
printf 'device \\\\.\\DISPLAY2 K board\n' >"$scratch/linked/board"
expect 65 "$scratch/linked/board: its log $scratch/linked/driver.log is not a plain file" -- \
  --board "$scratch/linked/board" --list-adapters
[ "$(cat "$scratch/profile")" = keep ] || fail "a board file wrote to a file it named"
expect 69 "need a terminal" -- "\\.\DISPLAY2&&&$board_key" </dev/null

# One save in the terminal: the chip button, the next anti-aliasing entry, OK.
if command -v tmux >/dev/null; then
  session=main
  tmux -L "$socket" new-session -d -s "$session" -x 120 -y 40 \
    "env XDG_DATA_HOME='$XDG_DATA_HOME' HOME='$HOME' '$program'; echo EXIT=\$? >'$scratch/exit'"
  screen() { tmux -L "$socket" capture-pane -t "$session" -p; }
  # Ends the tmux server and waits until it is gone: a new session must not reach a dying one.
  stop_tmux() {
    tmux -L "$socket" kill-server 2>/dev/null
    for _ in $(seq 50); do tmux -L "$socket" list-sessions >/dev/null 2>&1 || return 0; sleep 0.1; done
  }
  wait_for() {
    for _ in $(seq 150); do screen | grep -F -- "$1" >/dev/null && return 0; sleep 0.1; done
    fail "the screen never showed '$1'"; screen; return 1
  }
  # save_offline HIVE: the program on HIVE with the board's adapter named on the command line
  # and no board file; the chip dialog, another anti-aliasing entry, OK. False when the dialog
  # never came.
  save_offline() {
    rm -f "$scratch/exit"
    stop_tmux
    tmux -L "$socket" new-session -d -s "$session" -x 120 -y 40 \
      "env XDG_DATA_HOME='$XDG_DATA_HOME' HOME='$HOME' '$program' --hive '$1' '\\.\DISPLAY9&&&$board_key' 2>'$scratch/stderr'; echo EXIT=\$? >'$scratch/exit'"
    wait_for "QEL 700 M720 Dual" || return 1
    tmux -L "$socket" send-keys -t "$session" Tab Space
    wait_for "Dual Chip QEL 700" || return 1
    tmux -L "$socket" send-keys -t "$session" Up Up Up Enter
  }
  # quit: Escape, then the exit line the program's session wrote.
  quit() {
    tmux -L "$socket" send-keys -t "$session" Escape
    for _ in $(seq 50); do [ -s "$scratch/exit" ] && break; sleep 0.1; done
    cat "$scratch/exit" 2>/dev/null
  }
  if wait_for "QEL 700 M720 Dual"; then
    tmux -L "$socket" send-keys -t "$session" Tab Space
    if wait_for "Dual Chip QEL 700"; then
      tmux -L "$socket" send-keys -t "$session" Down Enter
      wait_for "Driver: " && wait_for "anti-aliasing 4 samples on 2 chips"
      tmux -L "$socket" send-keys -t "$session" Escape
      for _ in $(seq 50); do [ -s "$scratch/exit" ] && break; sleep 0.1; done
      grep -q "EXIT=0" "$scratch/exit" 2>/dev/null || fail "the program did not end with 0"
      [ "$(hivexget "$data/SYSTEM" 'ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000\D3D' \
        QLDRV_SLI_AA_CONFIGURATION)" = 4 ] || fail "QLDRV_SLI_AA_CONFIGURATION not saved"
      grep -q 'DISPLAY2 reloaded: anti-aliasing 4 samples on 2 chips' "$data/driver.log" || fail "no reload logged"
    fi
  fi

  # A hive of its own, the adapter named on the command line, no board: no driver reads the
  # values back, yet the save is on disk while the program waits for the user again.
  cp "$data/SYSTEM" "$scratch/OFFLINE"
  cp "$data/SYSTEM" "$scratch/OFFLINE.before"
  if save_offline "$scratch/OFFLINE"; then
    wait_for "Saved 1 value to OFFLINE; backup of the hive as it was in"
    cmp -s "$scratch/OFFLINE.before" "$data"/backups/OFFLINE-*/*/OFFLINE || fail "the backup is not the hive as it was"
    [ "$(hivexget "$scratch/OFFLINE" 'ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000\D3D' \
      QLDRV_SLI_AA_CONFIGURATION)" = 0 ] || fail "the save was not on disk while the program waited"
    quit >/dev/null
  fi
fi

# An adapter without its D3D key: the chip dialog's values cannot be written, and the status
# line says so instead of nothing.
if command -v tmux >/dev/null; then
  cp "$data/SYSTEM" "$scratch/NOD3D"
  printf 'cd \\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000\\D3D\ndel\ncommit\n' |
    hivexsh -w "$scratch/NOD3D"
  if save_offline "$scratch/NOD3D"; then
    wait_for "not saved: the adapter has no D3D key"
    quit >/dev/null
  fi
fi

# Backups from a fresh HOME with nothing in it: the folders are made, private; without HOME and
# XDG_DATA_HOME a run that would save says why and changes nothing; --backup-dir and
# --keep-backups choose where and how many.
fresh=$scratch/fresh && mkdir "$fresh"
cp "$data/SYSTEM" "$scratch/RESCUE" && cp "$data/SYSTEM" "$scratch/RESCUE.before"
rescue=(--hive "$scratch/RESCUE" "\\.\DISPLAY1&&&$board_key")
(unset XDG_DATA_HOME HOME && "$program" "${rescue[@]}" --set LODBias=1.00 >"$scratch/out" 2>&1)
status=$?
[ "$status" -eq 73 ] || fail "no HOME: exited $status, not 73: $(cat "$scratch/out")"
grep -qF "neither HOME nor XDG_DATA_HOME is set" "$scratch/out" && grep -qF -- "--backup-dir DIR" "$scratch/out" ||
  fail "no HOME: no word of why and what to do: $(cat "$scratch/out")"
cmp -s "$scratch/RESCUE" "$scratch/RESCUE.before" || fail "no HOME: the hive was written"
(unset XDG_DATA_HOME HOME && "$program" "${rescue[@]}" --query >/dev/null 2>&1) || fail "no HOME: --query refused"
[ "$(ls -A "$fresh")" = "" ] || fail "no HOME: something was made"
(unset XDG_DATA_HOME && HOME=$fresh "$program" "${rescue[@]}" --set LODBias=1.00 >"$scratch/out" 2>&1) ||
  fail "a fresh HOME: the save failed: $(cat "$scratch/out")"
[ "$(stat -c %a "$fresh" "$fresh"/.local "$fresh"/.local/share "$fresh"/.local/share/configurator \
  "$fresh"/.local/share/configurator/backups | tr '\n' ' ')" = "755 700 700 700 700 " ] ||
  fail "a fresh HOME: the folders are not private: $(ls -ld "$fresh"/.local "$fresh"/.local/share/configurator/backups)"
cmp -s "$scratch/RESCUE.before" "$fresh"/.local/share/configurator/backups/RESCUE-*/000001-*/RESCUE ||
  fail "a fresh HOME: the backup is not the hive as it was"
touch "$scratch/notafolder"
(unset XDG_DATA_HOME && HOME=$scratch/notafolder "$program" "${rescue[@]}" --set LODBias=0.50 >"$scratch/out" 2>&1)
status=$?
[ "$status" -eq 73 ] && grep -qF "cannot create folder $scratch/notafolder: Not a directory" "$scratch/out" ||
  fail "a data folder that cannot be made: exited $status: $(cat "$scratch/out")"
expect 64 "--keep-backups takes a number from 1 to 9999, not '0'" -- "${rescue[@]}" --keep-backups 0 --query
expect 64 "--keep-backups takes a number from 1 to 9999, not 'x'" -- "${rescue[@]}" --keep-backups=x --query
cp "$scratch/RESCUE" "$scratch/RESCUE.before"
for value in 0.50 1.00 0.50 1.00 0.50; do
  (unset XDG_DATA_HOME HOME && "$program" "${rescue[@]}" --backup-dir "$scratch/mine/backups" --keep-backups 2 \
    --set LODBias=$value >/dev/null 2>&1) || fail "--backup-dir: the save failed"
done
[ "$(ls "$scratch"/mine/backups/RESCUE-*/ | cut -c1-6 | tr '\n' ' ')" = "000001 000004 000005 hive-p " ] ||
  fail "--keep-backups 2 kept: $(ls "$scratch"/mine/backups/RESCUE-*/)"
[ "$(stat -c %a "$scratch/mine")" = 700 ] || fail "--backup-dir: the folders are not private"
cmp -s "$scratch/RESCUE.before" "$scratch"/mine/backups/RESCUE-*/000001-*/RESCUE || fail "--backup-dir: the first backup"

# A hive that may not be written says why, in words, whatever the reason.
cp "$data/SYSTEM" "$scratch/LOCKED" && chmod 444 "$scratch/LOCKED"
expect 0 "Read-only: no permission to write the hive file" -- --hive "$scratch/LOCKED" --list-adapters
if [ "$(id -u)" = 0 ] && mkdir -p "$scratch/ro" && mount -t tmpfs -o size=1m tmpfs "$scratch/ro" 2>/dev/null; then
  cp "$data/SYSTEM" "$scratch/ro/SYSTEM"
  mount -o remount,ro "$scratch/ro"
  expect 0 "Read-only: the file system it is on is mounted read-only" -- --hive "$scratch/ro/SYSTEM" --list-adapters
  umount "$scratch/ro"
else
  echo "skipped: read-only and full file systems (mounting needs root)"
fi

# Dirty hives that Windows left (third-party test data beside the repository, when it is there):
# read as Windows would load them, or read-only with the reason when no log can recover them.
reference=$(cd "$(dirname "$0")/../../.." && pwd)/shared/testdata/hives
if [ -d "$reference/NewDirtyHive1" ]; then
  mkdir -p "$scratch/dirty" && cp "$reference"/NewDirtyHive1/NewDirtyHive* "$scratch/dirty/" && chmod 644 "$scratch"/dirty/*
  expect 0 "recovered from NewDirtyHive.LOG1, NewDirtyHive.LOG2" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  # Recoverable, but maybe not whole: shown read-only, naming the file, and nothing written (no
  # save, no emptied log, no backup).
  mv "$scratch/dirty/NewDirtyHive.LOG2" "$scratch/LOG2.kept"
  sums=$(cd "$scratch/dirty" && md5sum NewDirtyHive*)
  expect 0 "Read-only: NewDirtyHive.LOG2 is not beside the hive" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  expect 0 "copy NewDirtyHive.LOG2 from where the hive came from beside it" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  [ "$(cd "$scratch/dirty" && md5sum NewDirtyHive*)" = "$sums" ] || fail "a hive without its LOG2 was written"
  cp "$scratch/LOG2.kept" "$scratch/dirty/NewDirtyHive.LOG2"
  printf '\x55' | dd of="$scratch/dirty/NewDirtyHive.LOG2" bs=1 seek=4512 conv=notrunc 2>/dev/null
  sums=$(cd "$scratch/dirty" && md5sum NewDirtyHive*)
  expect 0 "NewDirtyHive.LOG2 is damaged: its replay stopped at the damaged entry at offset 512" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  [ "$(cd "$scratch/dirty" && md5sum NewDirtyHive*)" = "$sums" ] || fail "a hive with a damaged log entry was written"
  [ ! -e "$data/backups/NewDirtyHive"* ] || fail "a read-only hive was backed up"
  rm "$scratch"/dirty/NewDirtyHive.LOG*
  expect 0 "Read-only: the hive is dirty and has no transaction log beside it" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  expect 0 "start Windows and shut it down fully" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
else
  echo "skipped: the dirty reference hives (no $reference)"
fi

# A save from the command line on a full disk: the reason first, in the system's words, with what
# to do; no read-back line for the values it lost; 74; the hive as it was.
if [ "$(id -u)" = 0 ] && mkdir -p "$scratch/full" && mount -t tmpfs -o size=64k tmpfs "$scratch/full" 2>/dev/null; then
  cp "$data/SYSTEM" "$scratch/full/SYSTEM"
  dd if=/dev/zero of="$scratch/full/filler" bs=4k 2>/dev/null
  before=$(md5sum <"$scratch/full/SYSTEM")
  "$program" --hive "$scratch/full/SYSTEM" --set LODBias=0.50 --set DDIVersion=7 "\\.\DISPLAY9&&&$board_key" \
    >"$scratch/out" 2>"$scratch/err"
  status=$?
  [ "$status" = 74 ] || fail "a failed save ended with $status, not 74: $(cat "$scratch/err")"
  head -1 "$scratch/err" | grep -F "changes were not saved and are lost: No space left on device. The hive is as it was: free space on its disk" >/dev/null ||
    fail "the first line is not why the save failed: $(cat "$scratch/err")"
  ! grep -q "reads back" "$scratch/err" || fail "read-back lines for values the failed save lost: $(cat "$scratch/err")"
  [ "$(grep -c "No space left" "$scratch/err")" = 1 ] || fail "the failure said more than once: $(cat "$scratch/err")"
  [ "$(md5sum <"$scratch/full/SYSTEM")" = "$before" ] || fail "the hive changed on a full disk"
  umount "$scratch/full"
else
  echo "skipped: a save on a full disk (a small tmpfs needs root)"
fi

# A save on a full disk: said at once in words, the edit dropped, the hive as it was, nothing
# left beside it, and the exit status says changes were lost.
if command -v tmux >/dev/null && [ "$(id -u)" = 0 ] && mkdir -p "$scratch/full" &&
  mount -t tmpfs -o size=64k tmpfs "$scratch/full" 2>/dev/null; then
  cp "$data/SYSTEM" "$scratch/full/SYSTEM"
  dd if=/dev/zero of="$scratch/full/filler" bs=4k 2>/dev/null
  before=$(md5sum <"$scratch/full/SYSTEM")
  if save_offline "$scratch/full/SYSTEM"; then
    wait_for "Not saved: No space left on device (1 change lost)"
    [ "$(quit)" = "EXIT=74" ] || fail "a lost save did not end with 74: $(cat "$scratch/exit")"
    grep -q "changes were not saved and are lost: No space left on device" "$scratch/stderr" ||
      fail "no word of the lost save: $(cat "$scratch/stderr")"
  fi
  [ "$(md5sum <"$scratch/full/SYSTEM")" = "$before" ] || fail "the hive changed on a full disk"
  [ "$(ls -A "$scratch/full" | tr '\n' ' ')" = "SYSTEM filler " ] || fail "left beside the hive: $(ls -A "$scratch/full")"
  umount "$scratch/full"
fi

# Every hive the program saved reads without a complaint in the independent readers (their
# words for trouble; value names such as ErrorControl must not count).
trouble='warning|corrupt|unable to|error:|bad address'
readers_accept() {
  local output
  if command -v regfexport >/dev/null; then
    output=$(regfexport "$1" 2>&1) || fail "regfexport cannot read $1"
    ! grep -qiE "$trouble" <<<"$output" || fail "regfexport on $1: $(grep -iE "$trouble" <<<"$output" | sed -n 1,3p)"
  else
    echo "skipped: regfexport (libregf-utils not installed)"
  fi
  if command -v reged >/dev/null; then
    output=$(reged -x "$1" 'HKEY_LOCAL_MACHINE\SYSTEM' '\' /dev/null 2>&1) || fail "reged cannot read $1"
    ! grep -qiE "$trouble" <<<"$output" || fail "reged on $1: $(grep -iE "$trouble" <<<"$output" | sed -n 1,3p)"
  else
    echo "skipped: reged (chntpw not installed)"
  fi
  if command -v hivexregedit >/dev/null; then
    output=$(hivexregedit --export "$1" '\' 2>&1 >/dev/null) || fail "hivexregedit cannot read $1"
    [ -z "$output" ] || fail "hivexregedit on $1: $output"
  else
    echo "skipped: hivexregedit (libwin-hivex-perl not installed)"
  fi
}
saved=0
for hive in "$data/SYSTEM" "$scratch/OFFLINE"; do
  [ -f "$hive" ] && readers_accept "$hive" && saved=$((saved + 1))
done
[ "$saved" -gt 0 ] || fail "no saved hive to give the independent readers"

[ "$failures" -eq 0 ] && echo "all program tests passed"
exit $((failures > 0))
