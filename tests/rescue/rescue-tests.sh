#!/usr/bin/env bash
# The rescue program as a live system runs it, on a SYSTEM hive laid out as Windows leaves it
# (XP's WINDOWS/system32/config/system and later Windows/System32/config/SYSTEM, on a disk
# mounted at a path with a space): the scripting actions and a save checked with hivexget, the
# backup beside the hive and putting it back, and the dialogs in tmux on an 80x25 terminal with
# TERM=linux and no terminfo database, no UTF-8 locale, and with a TERM that no database knows.
# Also what a 32-bit build may get wrong that a 64-bit one cannot: a hive whose bins size is
# near 4 GiB, and an owner that /etc/passwd lacks (the static C library's name services).
# Usage: rescue-tests.sh PROGRAM [RUNNER...], e.g. rescue-tests.sh ./configurator qemu-i386 -cpu pentium2
# Environment: RESCUE_HIVE_GROWER, hive_bench of a native build, grows the hive to 4 MiB of
# keys and values (the shape of a real SYSTEM hive); without it the demo hive is used as made.
# Prints "skipped: ..." for every check that could not run here.
set -uo pipefail
program=$(realpath "$1")
shift
runner=("$@")
how=${runner[*]:-natively}
scratch=$(mktemp -d)
socket=rescue-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null; chmod -R u+w "$scratch"; rm -rf "$scratch"' EXIT
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data
mkdir -p "$HOME" && : >"$HOME/.hivexsh"  # hivexsh reads it at start
failures=0
checks=0
fail() { echo "FAIL ($how): $*"; failures=$((failures + 1)); }

# expect CODE PATTERN -- ARGS...: the program's exit status and a line of its output.
expect() {
  local code=$1 pattern=$2 output status
  shift 3
  checks=$((checks + 1))
  output=$("${runner[@]}" "$program" "$@" 2>&1 </dev/null)
  status=$?
  [ "$status" -eq "$code" ] || fail "configurator $* exited $status, not $code: $output"
  grep -qF -- "$pattern" <<<"$output" || fail "configurator $* did not say '$pattern': $output"
}
adapter='\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'
lod() { hivexget "$1" "$adapter\\D3D" QLDRV_LOD_BIAS 2>/dev/null || echo "(none)"; }

expect 0 "made the demo hive" -- --list-adapters
disk="$scratch/Windows disk"
xp="$disk/WINDOWS/system32/config"
later="$disk/Windows/System32/config"
mkdir -p "$xp" "$later"
cp "$XDG_DATA_HOME/configurator/SYSTEM" "$xp/system"
if [ -n "${RESCUE_HIVE_GROWER:-}" ]; then
  "$RESCUE_HIVE_GROWER" grow "$xp/system" 4 >/dev/null || fail "cannot grow the hive"
fi
cp "$xp/system" "$later/SYSTEM"
cp "$xp/system" "$scratch/pristine"

# The scripting actions on XP's layout.
expect 0 "LODBias=0.00" -- --hive "$xp/system" --query
expect 0 "" -- --hive "$xp/system" --set LODBias=0.50 --set "VSync=Vsync Off"
[ "$(lod "$xp/system")" = 2 ] || fail "--set wrote QLDRV_LOD_BIAS '$(lod "$xp/system")', not 2"
[ -f "$xp/CFGBAK/000001/system" ] || fail "no backup beside the hive: $(ls -R "$xp")"
cmp -s "$xp/CFGBAK/000001/system" "$scratch/pristine" || fail "the backup is not the hive as it was"
expect 0 "" -- --hive "$xp/system" --export "$scratch/profile.reg"
expect 0 "" -- --hive "$xp/system" --reset
[ "$(lod "$xp/system")" = "(none)" ] || fail "--reset left QLDRV_LOD_BIAS '$(lod "$xp/system")'"
expect 0 "" -- --hive "$xp/system" --import "$scratch/profile.reg"
[ "$(lod "$xp/system")" = 2 ] || fail "--import gave QLDRV_LOD_BIAS '$(lod "$xp/system")', not 2"
expect 0 "000001" -- --hive "$xp/system" --list-backups
expect 0 "" -- --hive "$xp/system" --restore-backup 1
[ "$(lod "$xp/system")" = 0 ] || fail "--restore-backup 1 left QLDRV_LOD_BIAS '$(lod "$xp/system")', not 0"
# The later layout, and a path with upper-case letters and a space, as typed.
expect 0 "VSync=Vsync On" -- --hive "$later/SYSTEM" --query

# A bins size near 4 GiB: base block plus bins size wrapped past zero on 32-bit systems.
cp "$scratch/pristine" "$scratch/HUGE"
python3 - "$scratch/HUGE" <<'EOF'
import struct, sys
hive = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<I", hive, 0x28, 0xFFFFF000)
checksum = 0
for at in range(0, 508, 4):
    checksum ^= struct.unpack_from("<I", hive, at)[0]
struct.pack_into("<I", hive, 508, checksum)
open(sys.argv[1], "wb").write(hive)
EOF
expect 65 "damaged" -- --hive "$scratch/HUGE" --query

# An owner that /etc/passwd lacks is named by its number (the static C library would load the
# system's name service modules for it, and crash).
stranger=54321
if [ "$(id -u)" -eq 0 ] && ! getent passwd "$stranger" >/dev/null; then
  mkdir -p "$scratch/strange/configurator" && chown "$stranger" "$scratch/strange/configurator"
  XDG_DATA_HOME=$scratch/strange expect 73 "belongs to another user (uid $stranger)" -- --list-adapters
else
  echo "skipped: an owner missing from /etc/passwd ($how): needs root and a free uid $stranger"
fi

# The dialogs in tmux, 80x25.
screen() { tmux -L "$socket" capture-pane -p -t rescue 2>/dev/null || true; }
keys() {
  tmux -L "$socket" send-keys -t rescue "$@"
  sleep 0.3
}
wait_for() {
  local end=$((SECONDS + ${2:-60}))
  while [ $SECONDS -lt $end ]; do
    screen | grep -F -- "$1" >/dev/null && return 0
    sleep 0.2
  done
  return 1
}
# start NAME ENVIRONMENT...: the program on a copy of the pristine hive, in a fresh 80x25
# terminal, with only the environment given (as env -i); with $launch set, in a mount namespace
# where the terminfo database's folders are empty.
start() {
  local name=$1
  shift
  tmux -L "$socket" kill-server 2>/dev/null
  mkdir -p "$scratch/$name"
  cp "$scratch/pristine" "$scratch/$name/SYSTEM"
  {
    echo "cd '$scratch/$name'"
    if [ -n "$launch" ]; then
      echo "for d in /etc/terminfo /lib/terminfo /usr/share/terminfo; do [ -d \$d ] && mount --bind '$scratch/empty' \$d; done"
      echo "[ -e /usr/share/terminfo/l/linux ] && echo visible >terminfo-visible"
    fi
    printf '%q ' env -i "HOME=$HOME" "$@" "${runner[@]}" "$program" --hive "$scratch/$name/SYSTEM"
    echo
    echo 'echo PROGRAM-ENDED-$?; sleep 600'
  } >"$scratch/$name/run.sh"
  tmux -L "$socket" -f /dev/null new-session -d -s rescue -x 80 -y 25 "$launch bash '$scratch/$name/run.sh'"
  tmux -L "$socket" set -s escape-time 0
  tmux -L "$socket" set -g status off
}
dialog_check() {
  checks=$((checks + 1))
  wait_for "$@" || {
    fail "$step: the screen does not show '$1'"
    screen | sed 's/^/  | /'
  }
}

if ! command -v tmux >/dev/null; then
  echo "skipped: the dialogs ($how): tmux is not installed"
else
  # TERM=linux and no terminfo database at all: the folders where one lies are hidden from the
  # program by empty ones, in a mount namespace of its own.
  launch=""
  mkdir -p "$scratch/empty"
  for namespace in "unshare --mount" "unshare --mount --map-root-user"; do
    if $namespace mount --bind "$scratch/empty" /usr/share/terminfo 2>/dev/null; then
      launch=$namespace
      break
    fi
  done
  [ -n "$launch" ] ||
    echo "skipped: TERM=linux without a terminfo database ($how): no mount namespace here; TERM=linux ran with the system's"
  step="TERM=linux, no terminfo database, no locale"
  start linux TERM=linux
  dialog_check "Orlo Configurator"
  keys Space
  dialog_check "General Features"
  # No UTF-8: frames in ASCII, never the line-drawing set's letters.
  screen | grep -E '^\+\[-\] General Features =+\+$' >/dev/null || fail "$step: no ASCII frame: $(screen | sed -n 1p)"
  screen | grep -E 'lqq|qqk|mqq|qqj' >/dev/null && fail "$step: line-drawing letters on the screen"
  keys Tab Tab Tab Down Enter
  dialog_check "Orlo Configurator"
  keys Escape
  dialog_check "PROGRAM-ENDED-0"
  [ ! -e "$scratch/linux/terminfo-visible" ] || fail "$step: the terminfo database was not hidden"
  [ "$(lod "$scratch/linux/SYSTEM")" = 1 ] || fail "$step: the dialog saved QLDRV_LOD_BIAS '$(lod "$scratch/linux/SYSTEM")', not 1"

  step="a TERM that no database knows, UTF-8"
  launch=""
  start unknown TERM=no-such-terminal LANG=C.UTF-8
  dialog_check "Orlo Configurator"
  dialog_check "╔"
  keys Escape
  dialog_check "PROGRAM-ENDED-0"
fi

if [ $failures -ne 0 ]; then
  echo "rescue-tests ($how): $failures of $checks checks failed"
  exit 1
fi
echo "rescue-tests ($how): $checks checks passed"
