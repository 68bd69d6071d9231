#!/usr/bin/env bash
# The configurator program as a user meets it: the demo data folder, --list-adapters, the
# messages and exit codes for bad command lines and bad hives, and one saving dialog in a
# terminal (tmux), with the hive checked by hivexget and the driver's log read afterwards.
# Usage: program-tests.sh PATH-TO-CONFIGURATOR VERSION REFERENCE-HIVES-DIR
# (VERSION: the project's, which --version must print; HIVE_REFERENCE_DIR, when set, overrides the
# folder of the hives that Windows wrote)
set -uo pipefail
program=$1
version=$2
reference_default=$3
source "$(dirname "$0")/../support/harness.sh"
at_exit 'umount "$scratch/ro" "$scratch/full"'
isolate

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
run --version
[ "$status" = 0 ] && [ "$out" = "configurator $version" ] || fail "--version exited $status and said '$out $err'"
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
# A log that is no file (a link to /dev/zero, which never ends) is not read: the dirty hive is
# refused, naming it, within the same memory limit; the check checks the file as it is.
mkdir "$scratch/zerolog" && cp "$scratch/dirty-damaged" "$scratch/zerolog/SYSTEM" && ln -s /dev/zero "$scratch/zerolog/SYSTEM.LOG1"
(ulimit -v $limit && failures=0 && expect 65 "SYSTEM.LOG1: cannot be read: not a regular file" -- --hive "$scratch/zerolog/SYSTEM" \
  --list-adapters && expect 65 "SYSTEM.LOG1: cannot be read: not a regular file); checked the file as it is" -- \
  --check-hive "$scratch/zerolog/SYSTEM" && exit $((failures > 0))) || fail "a log that is a link to /dev/zero"
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
mkdir "$scratch/loglinked" && ln -s "$scratch/profile" "$scratch/loglinked/driver.log"
printf 'device \\\\.\\DISPLAY2 K board\n' >"$scratch/loglinked/board"
expect 65 "$scratch/loglinked/board: its log $scratch/loglinked/driver.log is not a plain file" -- \
  --board "$scratch/loglinked/board" --list-adapters
[ "$(cat "$scratch/profile")" = keep ] || fail "a board file wrote to a file it named"
expect 69 "need a terminal" -- "\\.\DISPLAY2&&&$board_key" </dev/null

# --check-hive: the hive's structure, read only, with the offset of each fault.
expect 0 "$data/SYSTEM: sound, 0 warnings" -- --check-hive "$data/SYSTEM"
expect 66 "$scratch/none: no such hive file" -- --check-hive "$scratch/none"
expect 66 "$scratch: cannot read the hive file: Is a directory" -- --check-hive "$scratch"
expect 65 "$scratch/text.reg: not a registry hive file" -- --check-hive "$scratch/text.reg"
expect 65 "the bins' size is 0x1000, but the file holds 0x770 bytes" -- --check-hive "$scratch/truncated"
# The root key (at 0x1020) made to count 127 subkeys.
cp "$data/SYSTEM" "$scratch/MISCOUNTED" && printf '\x7f' | dd of="$scratch/MISCOUNTED" bs=1 seek=$((0x1038)) conv=notrunc 2>/dev/null
expect 65 "0x00001038  fault    the key 0x1020 counts 127 subkeys, but its lists hold" -- --check-hive "$scratch/MISCOUNTED"
expect 65 "$scratch/MISCOUNTED: damaged: 1 fault, 0 warnings" -- --check-hive "$scratch/MISCOUNTED"
expect 64 "--check-hive FILE is given alone" -- --check-hive "$data/SYSTEM" --hive "$data/SYSTEM"

# One save in the terminal: the chip button, the next anti-aliasing entry, OK.
if command -v tmux >/dev/null; then
  term_start 120 40 "env XDG_DATA_HOME='$XDG_DATA_HOME' HOME='$HOME' '$program'; echo EXIT=\$? >'$scratch/exit'"
  # save_offline HIVE: the program on HIVE with the board's adapter named on the command line
  # and no board file; the chip dialog, another anti-aliasing entry, OK. False when the dialog
  # never came.
  save_offline() {
    rm -f "$scratch/exit"
    term_start 120 40 \
      "env XDG_DATA_HOME='$XDG_DATA_HOME' HOME='$HOME' '$program' --hive '$1' '\\.\DISPLAY9&&&$board_key' 2>'$scratch/stderr'; echo EXIT=\$? >'$scratch/exit'"
    term_expect "QEL 700 M720 Dual" || return 1
    term_keys Tab Space
    term_expect "Dual Chip QEL 700" || return 1
    term_keys Up Up Up Enter
  }
  # quit: Escape, then the exit line the program's session wrote.
  quit() {
    term_keys Escape
    for _ in $(seq 50); do [ -s "$scratch/exit" ] && break; sleep 0.1; done
    cat "$scratch/exit" 2>/dev/null
  }
  if term_expect "QEL 700 M720 Dual"; then
    term_keys Tab Space
    if term_expect "Dual Chip QEL 700"; then
      term_keys Down Enter
      term_expect "Driver: " && term_expect "anti-aliasing 4 samples on 2 chips"
      [ "$(quit)" = EXIT=0 ] || fail "the program did not end with 0"
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
    term_expect "Saved 1 value to OFFLINE; backup of the hive as it was in"
    cmp -s "$scratch/OFFLINE.before" "$scratch"/CFGBAK/*/OFFLINE || fail "the backup is not the hive as it was"
    [ "$(hivexget "$scratch/OFFLINE" 'ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000\D3D' \
      QLDRV_SLI_AA_CONFIGURATION)" = 0 ] || fail "the save was not on disk while the program waited"
    quit >/dev/null
  fi

  # An adapter without its D3D key: the chip dialog's values cannot be written, and the status
  # line says so instead of nothing.
  cp "$data/SYSTEM" "$scratch/NOD3D"
  printf 'cd \\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000\\D3D\ndel\ncommit\n' |
    hivexsh -w "$scratch/NOD3D"
  if save_offline "$scratch/NOD3D"; then
    term_expect "not saved: the adapter has no D3D key"
    quit >/dev/null
  fi
else
  skip "the saves from the dialogs in a terminal (tmux is not installed)"
fi

# Backups from a fresh HOME with nothing in it: they go beside the hive, in CFGBAK, private,
# and nothing is made in HOME. Where the hive's folder cannot take them (here its CFGBAK is a
# link), the data folder does, saying so; without HOME and XDG_DATA_HOME such a run says why and
# changes nothing. --backup-dir and --keep-backups choose where and how many.
fresh=$scratch/fresh && mkdir "$fresh"
cp "$data/SYSTEM" "$scratch/RESCUE" && cp "$data/SYSTEM" "$scratch/RESCUE.before"
rescue=(--hive "$scratch/RESCUE" "\\.\DISPLAY1&&&$board_key")
(unset XDG_DATA_HOME && HOME=$fresh "$program" "${rescue[@]}" --set LODBias=1.00 >"$scratch/out" 2>&1) ||
  fail "a fresh HOME: the save failed: $(cat "$scratch/out")"
[ "$(ls -A "$fresh")" = "" ] || fail "a fresh HOME: something was made in it: $(ls -A "$fresh")"
[ "$(stat -c %a "$scratch/CFGBAK" "$scratch"/CFGBAK/*/ | sort -u | tr '\n' ' ')" = "700 " ] ||
  fail "a fresh HOME: the folders beside the hive are not private: $(ls -ld "$scratch/CFGBAK")"
cmp -s "$scratch/RESCUE.before" "$scratch"/CFGBAK/*/RESCUE || fail "a fresh HOME: the backup is not the hive as it was"
mkdir "$scratch/notours" && cp "$data/SYSTEM" "$scratch/notours/SYSTEM" && ln -s "$scratch" "$scratch/notours/CFGBAK"
notours=(--hive "$scratch/notours/SYSTEM" "\\.\DISPLAY1&&&$board_key")
(unset XDG_DATA_HOME HOME && "$program" "${notours[@]}" --set LODBias=1.00 >"$scratch/out" 2>&1)
status=$?
[ "$status" -eq 73 ] || fail "no HOME, no CFGBAK: exited $status, not 73: $(cat "$scratch/out")"
grep -qF "no backup of the hive can be kept beside it: $scratch/notours/CFGBAK is not a folder of yours: it is a symbolic link" \
  "$scratch/out" && grep -qF -- "--backup-dir DIR" "$scratch/out" ||
  fail "no HOME, no CFGBAK: no word of why and what to do: $(cat "$scratch/out")"
cmp -s "$scratch/notours/SYSTEM" "$data/SYSTEM" || fail "no HOME, no CFGBAK: the hive was written"
(unset XDG_DATA_HOME HOME && "$program" "${notours[@]}" --query >/dev/null 2>&1) || fail "no HOME: --query refused"
(unset XDG_DATA_HOME && HOME=$fresh "$program" "${notours[@]}" --set LODBias=1.00 >"$scratch/out" 2>&1) ||
  fail "no CFGBAK: the save failed: $(cat "$scratch/out")"
grep -qF "note: backups go to $fresh/.local/share/configurator/backups, as the hive's folder cannot take them" \
  "$scratch/out" || fail "no CFGBAK: no word of where the backup went: $(cat "$scratch/out")"
cmp -s "$data/SYSTEM" "$fresh"/.local/share/configurator/backups/SYSTEM-*/000001-*/SYSTEM ||
  fail "no CFGBAK: the backup in the data folder is not the hive as it was"
touch "$scratch/notafolder"
(unset XDG_DATA_HOME && HOME=$scratch/notafolder "$program" "${notours[@]}" --set LODBias=0.50 >"$scratch/out" 2>&1)
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

# A backup folder that is not the user's own (here a link) is refused, naming it; nothing changes.
ln -s "$scratch/mine/backups" "$scratch/linked"
cp "$scratch/RESCUE" "$scratch/RESCUE.before"
expect 73 "no backup of the hive can be kept in $scratch/linked: cannot use folder $scratch/linked: it is a symbolic link" -- \
  "${rescue[@]}" --backup-dir "$scratch/linked" --set LODBias=1.25
cmp -s "$scratch/RESCUE" "$scratch/RESCUE.before" || fail "a link as --backup-dir: the hive was written"

# A folder that another program holds locked, the hive's or its backups': the save waits a
# bounded time (none here, CONFIGURATOR_LOCK_WAIT_MS=0), then ends with 74, naming the folder
# and the holder; the hive is as it was. The holder is a flock(1) of our own, which says when it
# holds the lock; the timeout only guards against a program that would wait for ever.
for folder in "$(realpath "$scratch")" "$(echo "$scratch"/mine/backups/RESCUE-*)"; do
  mkfifo "$scratch/held"
  flock -o "$folder" sh -c 'echo $$; exec sleep 600' >"$scratch/held" &
  holder=$!
  read -r sleeper <"$scratch/held"
  rm "$scratch/held"
  output=$(CONFIGURATOR_LOCK_WAIT_MS=0 timeout 300 "$program" "${rescue[@]}" --backup-dir "$scratch/mine/backups" \
    --set LODBias=1.25 2>&1)
  status=$?
  kill "$sleeper" && wait "$holder"
  [ "$status" = 74 ] || fail "a locked $folder: exited $status, not 74: $output"
  grep -qF "the folder $folder is locked by another program (pid $holder, flock); try again when it has ended" \
    <<<"$output" || fail "a locked $folder: no word of the folder and its holder: $output"
  cmp -s "$scratch/RESCUE" "$scratch/RESCUE.before" || fail "a locked $folder: the hive was written"
done

# A save by a user who is not root keeps the hive's group when they are in it, and never widens
# access: where the owner or the group cannot be kept, the permissions narrow, and the save says so.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  chmod 711 "$scratch"
  shared=$scratch/shared
  mkdir -m 755 "$shared" && mkdir "$shared/group" "$shared/all" "$shared/user"
  chown 0:23456 "$shared/group" && chmod 770 "$shared/group" && chmod 777 "$shared/all"
  chown 12345:12345 "$shared/user" && chmod 700 "$shared/user"
  # the hive's folder | its mode (root:23456) | the user's groups | owner:group mode after | words
  while IFS='|' read -r folder mode groups after words; do
    cp "$data/SYSTEM" "$shared/$folder/SYSTEM" && chown 0:23456 "$shared/$folder/SYSTEM" &&
      chmod "$mode" "$shared/$folder/SYSTEM"
    output=$(setpriv --reuid=12345 --regid=12345 "$groups" env HOME="$shared/user" XDG_DATA_HOME="$shared/user" \
      "$program" --hive "$shared/$folder/SYSTEM" "\\.\DISPLAY1&&&$board_key" --set LODBias=1.00 2>&1)
    status=$?
    [ "$status" = 0 ] || fail "a save by another user ($folder) exited $status: $output"
    [ "$(stat -c '%u:%g %a' "$shared/$folder/SYSTEM")" = "$after" ] ||
      fail "a save by another user ($folder): $(stat -c '%u:%g %a' "$shared/$folder/SYSTEM"), not $after"
    grep -qF "configurator: note: $words" <<<"$output" || fail "a save by another user ($folder) did not say '$words': $output"
  done <<'ROWS'
group|660|--groups=23456|12345:23456 660|the hive now belongs to 12345:23456, not root:23456 (only root may give a file to another user, or to a group one is not in)
all|606|--clear-groups|12345:12345 600|the hive now belongs to 12345:12345, not root:23456 (only root may give a file to another user, or to a group one is not in); its permissions were narrowed from 0606 to 0600 so that no one gained access
ROWS
else
  skip "that a save by another user keeps the hive's group and never widens its access (needs root and setpriv)"
fi

# A hive that may not be written says why, in words, whatever the reason.
cp "$data/SYSTEM" "$scratch/LOCKED" && chmod 444 "$scratch/LOCKED"
expect 0 "Read-only: no permission to write the hive file" -- --hive "$scratch/LOCKED" --list-adapters
if [ "$(id -u)" = 0 ] && mkdir -p "$scratch/ro" && mount -t tmpfs -o size=1m tmpfs "$scratch/ro" 2>/dev/null; then
  cp "$data/SYSTEM" "$scratch/ro/SYSTEM"
  mount -o remount,ro "$scratch/ro"
  expect 0 "Read-only: the file system it is on is mounted read-only" -- --hive "$scratch/ro/SYSTEM" --list-adapters
  umount "$scratch/ro"
else
  skip "that a hive on a read-only file system says so (mounting a tmpfs needs root)"
fi

# Dirty hives that Windows left (third-party test data beside the repository, when it is there):
# read as Windows would load them, or read-only with the reason when no log can recover them.
reference=${HIVE_REFERENCE_DIR:-$reference_default}
if [ -d "$reference/NewDirtyHive1" ]; then
  mkdir -p "$scratch/dirty" && cp "$reference"/NewDirtyHive1/NewDirtyHive* "$scratch/dirty/" && chmod 644 "$scratch"/dirty/*
  sums=$(cd "$scratch/dirty" && md5sum NewDirtyHive*)
  expect 0 "$scratch/dirty/NewDirtyHive: checked the hive as recovered from its logs NewDirtyHive.LOG1, NewDirtyHive.LOG2" -- \
    --check-hive "$scratch/dirty/NewDirtyHive"
  expect 0 "$scratch/dirty/NewDirtyHive: sound, " -- --check-hive "$scratch/dirty/NewDirtyHive"
  [ "$(cd "$scratch/dirty" && md5sum NewDirtyHive*)" = "$sums" ] || fail "--check-hive changed a dirty hive or its logs"
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
  [ ! -e "$data/backups/NewDirtyHive"* ] && [ ! -e "$scratch/dirty/CFGBAK" ] || fail "a read-only hive was backed up"
  rm "$scratch"/dirty/NewDirtyHive.LOG*
  expect 0 "Read-only: the hive is dirty and has no transaction log beside it" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
  expect 0 "start Windows and shut it down fully" -- --hive "$scratch/dirty/NewDirtyHive" --list-adapters
else
  skip "that the program opens Windows' own dirty hives, recovered or read-only with the reason (no reference hives in $reference; set HIVE_REFERENCE_DIR)"
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
  skip "that a save on a full disk fails in words and leaves the hive as it was (mounting a tmpfs needs root)"
fi

# A save on a full disk: said at once in words, the edit dropped, the hive as it was, nothing
# left beside it, and the exit status says changes were lost.
if command -v tmux >/dev/null && [ "$(id -u)" = 0 ] && mkdir -p "$scratch/full" &&
  mount -t tmpfs -o size=64k tmpfs "$scratch/full" 2>/dev/null; then
  cp "$data/SYSTEM" "$scratch/full/SYSTEM"
  dd if=/dev/zero of="$scratch/full/filler" bs=4k 2>/dev/null
  before=$(md5sum <"$scratch/full/SYSTEM")
  if save_offline "$scratch/full/SYSTEM"; then
    term_expect "Not saved: No space left on device (1 change lost)"
    [ "$(quit)" = "EXIT=74" ] || fail "a lost save did not end with 74: $(cat "$scratch/exit")"
    grep -q "changes were not saved and are lost: No space left on device" "$scratch/stderr" ||
      fail "no word of the lost save: $(cat "$scratch/stderr")"
  fi
  [ "$(md5sum <"$scratch/full/SYSTEM")" = "$before" ] || fail "the hive changed on a full disk"
  [ "$(ls -A "$scratch/full" | tr '\n' ' ')" = "SYSTEM filler " ] || fail "left beside the hive: $(ls -A "$scratch/full")"
  umount "$scratch/full"
else
  skip "that a save from the dialogs on a full disk is said at once and loses nothing else (needs tmux, and root for a tmpfs)"
fi

# First contact on a live system: HOME in memory (a fresh one at each boot) and the Windows disk
# elsewhere. The backup is beside the hive, so after the reboot --list-backups finds it and
# --restore-backup puts it back, byte for byte, as hivexget reads it. The Recovery Console's
# copy lines name files that it can reach: 8.3 names, a short path, in the hive's folder tree.
disk=$scratch/disk && mkdir -p "$disk/WINDOWS/system32/config"
live=$disk/WINDOWS/system32/config/SYSTEM
lod() { hivexget "$1" 'ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000\D3D' QLDRV_LOD_BIAS; }
boot() { local home=$scratch/boot$1; shift; mkdir -p "$home" && (unset XDG_DATA_HOME && HOME=$home "$program" "$@"); }
cp "$data/SYSTEM" "$live" && cp "$live" "$scratch/LIVE.before"
boot 1 --hive "$live" "\\.\DISPLAY1&&&$board_key" --set LODBias=1.25 >/dev/null 2>&1 || fail "first contact: the save failed"
[ "$(lod "$live")" != "$(lod "$scratch/LIVE.before")" ] || fail "first contact: the save changed nothing"
listing=$(boot 2 --hive "$live" --list-backups 2>&1) || fail "after the reboot: --list-backups failed: $listing"
grep -qE "^1  [0-9-]{10} [0-9:]{8}  $disk/WINDOWS/system32/config/CFGBAK/000001\$" <<<"$listing" &&
  grep -qF "SYSTEM $(stat -c %s "$live") bytes" <<<"$listing" ||
  fail "after the reboot: the backup beside the hive is not listed: $listing"
grep -qFx '     copy C:\WINDOWS\system32\config\CFGBAK\000001\SYSTEM C:\WINDOWS\system32\config\SYSTEM' <<<"$listing" ||
  fail "after the reboot: no Recovery Console line: $listing"
output=$(boot 2 --hive "$live" --restore-backup 1 2>&1) || fail "--restore-backup 1 failed: $output"
grep -qF "undo with: configurator --hive $live --restore-backup 2" <<<"$output" || fail "no word of the undo: $output"
cmp -s "$live" "$scratch/LIVE.before" || fail "--restore-backup 1: the hive is not the backup"
[ "$(lod "$live")" = "$(lod "$scratch/LIVE.before")" ] || fail "--restore-backup 1: hivexget reads $(lod "$live")"
expect 66 "no backup 9 of $live: there are 2" -- --hive "$live" --restore-backup 9
expect 64 "--restore-backup needs a number N from 1" -- --hive "$live" --restore-backup x
expect 64 "--list-backups and --restore-backup N are each given alone" -- --hive "$live" --list-backups --query
chmod 444 "$live"
expect 77 "no permission to write the hive file" -- --hive "$live" --restore-backup 1
chmod 644 "$live"
fewest_lines=2  # a hive line for each of the two backups; the dirty hive's backup adds its log's
if [ -d "$reference/OldDirtyHive" ]; then
  fewest_lines=3
  # An XP-style dirty hive with its one log: the backup made before a restore holds both, and the
  # Recovery Console puts the log back first, while the hive beside it is still a clean one.
  cp "$reference/OldDirtyHive/OldDirtyHive" "$live" && cp "$reference/OldDirtyHive/OldDirtyHive.LOG1" "$live.LOG"
  chmod 644 "$live" "$live.LOG"
  boot 3 --hive "$live" --restore-backup 1 >/dev/null 2>&1 || fail "a restore over a dirty hive failed"
  [ ! -s "$live.LOG" ] && cmp -s "$live" "$scratch/LIVE.before" || fail "a restore over a dirty hive: not the backup"
  listing=$(boot 3 --hive "$live" --list-backups 2>&1)
  grep -qFx '     copy C:\WINDOWS\system32\config\CFGBAK\000003\SYSTEM.LOG C:\WINDOWS\system32\config\SYSTEM.LOG' \
    <<<"$listing" || fail "no Recovery Console line for the log: $listing"
  output=$(boot 3 --hive "$live" --restore-backup 3 2>&1) || fail "undoing the restore failed: $output"
  cmp -s "$live" "$reference/OldDirtyHive/OldDirtyHive" && cmp -s "$live.LOG" "$reference/OldDirtyHive/OldDirtyHive.LOG1" ||
    fail "undoing the restore did not put the dirty hive and its log back"
  expect 0 "recovered from SYSTEM.LOG" -- --hive "$live" --list-adapters
else
  skip "that a restore over Windows' own dirty hive keeps its log and can be undone (no reference hives in $reference; set HIVE_REFERENCE_DIR)"
fi
short='[A-Za-z0-9!#$%&'"'"'()@^_`{}~-]{1,8}(\.[A-Za-z0-9!#$%&'"'"'()@^_`{}~-]{1,3})?'
lines=0
while read -r word from to; do
  lines=$((lines + 1))
  [ "$word" = copy ] || fail "not a copy line: $word $from $to"
  for path in "$from" "$to"; do
    [ "${#path}" -le 259 ] || fail "a Recovery Console path is too long: $path"
    [[ "${path#C:\\}" =~ ^($short\\)*$short$ ]] || fail "a Recovery Console path has a name that is not 8.3: $path"
    [[ "$path" == 'C:\WINDOWS\system32\config\'* ]] || fail "a Recovery Console path outside the hive's folder: $path"
  done
  [ -f "$disk/$(tr '\\' / <<<"${from#C:\\}")" ] || fail "a Recovery Console line copies a file that is not there: $from"
  [[ "$from" == 'C:\WINDOWS\system32\config\CFGBAK\'* && "${to##*\\}" == "${from##*\\}" ]] ||
    fail "a Recovery Console line does not put a backup's file back over its own: $from $to"
done < <(boot 4 --hive "$live" --list-backups | grep '^     copy ')
[ "$lines" -ge "$fewest_lines" ] || fail "too few Recovery Console lines to check: $lines"

# Every hive the program saved reads without a complaint in the independent readers (their
# words for trouble; value names such as ErrorControl must not count).
trouble='warning|corrupt|unable to|error:|bad address'
readers_accept() {
  local output
  if command -v regfexport >/dev/null; then
    output=$(regfexport "$1" 2>&1) || fail "regfexport cannot read $1"
    ! grep -qiE "$trouble" <<<"$output" || fail "regfexport on $1: $(grep -iE "$trouble" <<<"$output" | sed -n 1,3p)"
  else
    skip "that regfexport reads the saved hives (libregf-utils is not installed)"
  fi
  if command -v reged >/dev/null; then
    output=$(reged -x "$1" 'HKEY_LOCAL_MACHINE\SYSTEM' '\' /dev/null 2>&1) || fail "reged cannot read $1"
    ! grep -qiE "$trouble" <<<"$output" || fail "reged on $1: $(grep -iE "$trouble" <<<"$output" | sed -n 1,3p)"
  else
    skip "that reged reads the saved hives (chntpw is not installed)"
  fi
  if command -v hivexregedit >/dev/null; then
    output=$(hivexregedit --export "$1" '\' 2>&1 >/dev/null) || fail "hivexregedit cannot read $1"
    [ -z "$output" ] || fail "hivexregedit on $1: $output"
  else
    skip "that hivexregedit reads the saved hives (libwin-hivex-perl is not installed)"
  fi
}
saved=0
for hive in "$data/SYSTEM" "$scratch/OFFLINE"; do
  [ -f "$hive" ] && readers_accept "$hive" && saved=$((saved + 1))
done
[ "$saved" -gt 0 ] || fail "no saved hive to give the independent readers"

# Every hive the program saved (or restored) passes its own structural check.
sound() {
  local output
  output=$("$program" --check-hive "$1" 2>&1) || fail "--check-hive on a hive the program saved: $output"
}
checked=0
for hive in "$data/SYSTEM" "$scratch/OFFLINE" "$scratch/RESCUE" "$scratch/notours/SYSTEM" "$live" \
  "$scratch/shared/group/SYSTEM" "$scratch/shared/all/SYSTEM"; do
  [ -f "$hive" ] && sound "$hive" && checked=$((checked + 1))
done
[ "$checked" -ge 4 ] || fail "only $checked saved hives to check"

harness_done "program tests"
