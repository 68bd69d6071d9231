#!/usr/bin/env bash
# The terminal program end to end: the README's run command in tmux with a fresh HOME (so the
# program makes its demo data), keys in, screen out, and the hive read back with hivexget. The
# terminal is a Linux console's 80×24: every dialog must show whole there.
# Exits 77 (skipped) when tmux or hivexget is missing or the tree has no POSIX program yet.
# Usage: e2e.sh [SOURCE-DIR [BUILD-DIR]]; the build dir only receives the screen captures.
# CONFIGURATOR_E2E_PROGRAM, when set, is run in place of the run command (a developer's build).
set -euo pipefail
src=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
artifacts=${2:-$src/build}/artifacts

skip() { echo "e2e: skipped: $*"; exit 77; }
command -v tmux >/dev/null || skip "tmux is not installed"
command -v hivexget >/dev/null || skip "hivexget is not installed"
compgen -G "$src/programs/posix/*.cpp" >/dev/null || skip "the tree has no POSIX entry point yet"

work=$(mktemp -d)
sock=$work/tmux.sock
cleanup() {
  tmux -S "$sock" kill-server 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The build's compiler cache stays where it is; only the program sees the fresh HOME.
ccache_env=""
ccache_dir=$(ccache -k cache_dir 2>/dev/null || true)
[ -n "$ccache_dir" ] && ccache_env="CCACHE_DIR='$ccache_dir'"
mkdir -p "$work/home" "$artifacts"
data=$work/home/.local/share/configurator
board_key='ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'
failures=0
step=""

fail() {
  echo "e2e: FAIL: $step: $*"
  screen | sed 's/^/  | /'
  failures=$((failures + 1))
}
screen() { tmux -S "$sock" capture-pane -p -t e2e 2>/dev/null || true; }
keys() { tmux -S "$sock" send-keys -t e2e "$@"; sleep 0.3; }
# Waits until the screen shows (or, with !, no longer shows) a text.
wait_for() {
  local negate=0 text=$1 limit=${2:-20}
  if [ "$text" = "!" ]; then negate=1 text=$2 limit=${3:-20}; fi
  local end=$((SECONDS + limit))
  while [ $SECONDS -lt $end ]; do
    if screen | grep -F -- "$text" >/dev/null; then [ $negate -eq 0 ] && return 0; else [ $negate -eq 1 ] && return 0; fi
    sleep 0.2
  done
  return 1
}
expect() { wait_for "$@" || fail "expected screen text: $*"; }
capture() { screen >"$artifacts/e2e-$1.txt"; }

run_command="bash '$src/scripts/run.sh'"
[ -n "${CONFIGURATOR_E2E_PROGRAM:-}" ] && run_command="'$CONFIGURATOR_E2E_PROGRAM'"
sessions=0
# start [ARGUMENTS]: the program in a new 80×24 terminal; ARGUMENTS are quoted for the shell.
start() {
  # A new server each time: a socket of its own, never one that is still going away.
  [ $sessions -gt 0 ] && tmux -S "$sock" kill-server 2>/dev/null || true
  sessions=$((sessions + 1))
  sock=$work/tmux-$sessions.sock
  tmux -S "$sock" -f /dev/null new-session -d -s e2e -x 80 -y 24 \
    "env HOME='$work/home' $ccache_env CONFIGURATOR_JOBS=2 LANG=C.UTF-8 $run_command ${1:-}; echo PROGRAM-ENDED-\$?; sleep 600"
  tmux -S "$sock" set -s escape-time 0
  tmux -S "$sock" set -g status off
}

step="main dialog"
start
wait_for "Orlo Configurator" 900 || { fail "the main dialog did not appear"; exit 1; }
for text in Adapter BIOS Chip Memory "QEL 700 M720 Dual" "QEL BIOS 3.07.21" Meg "[ General ]" "[ QEL 700 ]" "[ Exit ]"; do
  expect "$text"
done
# The key line tells the truth: Escape quits the program here.
expect "Tab Next  Enter Press  Esc Exit  F10 Menu"
capture main

# whole TEXT: the dialog whose title bar holds TEXT shows from its left frame to its right one,
# with no arrow on the screen's edges saying that it goes on beyond them.
whole() {
  local top
  top=$(screen | grep -F -- "$1" | sed -n 1p)
  [[ "$top" == *"╔"*"$1"*"╗"* ]] || fail "a frame of '$1' is off the screen: '$top'"
  screen | grep -E '^[<]|[>]$' >/dev/null && fail "the screen is scrolled sideways"
  return 0
}

step="General Features whole at 80x24: LOD Bias 0.50 and OK"
keys Space
expect "General Features"
whole "General Features"
for text in "Command Fifo" "[ Cancel ]" "[< OK >]" "MIpMap LOD Dithering" "Esc Cancel"; do
  expect "$text"
done
capture general-whole
# Tab order: DDI Version, Enable Tripple Buffer, VSync, LOD Bias. Alt+Down opens the list (tmux
# sends it as ESC [ 1 ; 3 B); Tab keeps the entry highlighted there and moves on, as on Windows.
keys Tab Tab Tab M-Down
expect "Tab Pick, next"
keys Home
for _ in 1 2 3 4 5 6 7 8 9 10; do keys Down; done
capture general-lod-list
keys Tab
expect "[0.50"
capture general
keys Enter
expect ! "General Features"
value=$(hivexget "$data/SYSTEM" "$board_key\\D3D" QLDRV_LOD_BIAS 2>&1 || true)
[ "$value" = "2" ] || fail "QLDRV_LOD_BIAS reads '$value', not 2"
hivexget "$data/SYSTEM" "$board_key\\D3D" | grep -x '"QLDRV_LOD_BIAS"="2"' >/dev/null ||
  fail "QLDRV_LOD_BIAS is not the REG_SZ \"2\": $(hivexget "$data/SYSTEM" "$board_key\\D3D" | grep -i lod_bias)"
# One status line, shortened; F2 shows the whole reload line, and the next key only closes it.
expect "Driver: "
[ "$(screen | grep -c 'Driver: ')" = 1 ] || fail "the status line takes more than one row"
capture reloaded
keys F2
# The message wraps at words, so look for single words of it.
expect "+0.50,"
expect "command FIFO 512K"
capture message
keys Escape
expect ! "command FIFO 512K"
expect "Orlo Configurator"

step="chip dialog, cancelled"
keys Tab Space
expect "Dual Chip QEL 700"
capture chip
keys Escape
expect ! "Dual Chip QEL 700"

step="About box from the window menu"
keys F10
expect "About Configurator..."
capture window-menu
keys a
expect "Configurator Version 1.1"
capture about
keys Enter
expect ! "Configurator Version 1.1"
keys M-Space
expect "About Configurator..."
keys Escape
expect ! "About Configurator..."

step="Exit"
keys Escape
expect "PROGRAM-ENDED-0"

# The single- and quad-chip dialogs: adapters of their own beside the demo's, in a copy of its
# hive, named on the command line.
step="single- and quad-chip dialogs"
cp "$data/SYSTEM" "$work/CHIPS"
guid_key='\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}'
printf '%s\n' "cd $guid_key" 'add 0001' 'cd 0001' 'setval 2' 'HardwareInformation.AdapterString' \
  'string:QEL 700 M700 Single' 'HardwareInformation.ChipType' 'string:QEL 700' \
  "cd $guid_key" 'add 0002' 'cd 0002' 'setval 2' 'HardwareInformation.AdapterString' \
  'string:QEL 700 M940 Quad' 'HardwareInformation.ChipType' 'string:QEL 700' 'commit' |
  HOME=$work/home hivexsh -w "$work/CHIPS" || fail "cannot add the adapters"
for chips in "0001 Single" "0002 Quad"; do
  index=${chips% *} name="${chips#* } Chip QEL 700"
  hand_off='\\.\DISPLAY9&&&\Registry\Machine\System'"$guid_key"'\'"$index"
  start "--hive '$work/CHIPS' '$hand_off'"
  expect "Orlo Configurator" 120
  keys Tab Space
  expect "$name"
  whole "$name"
  expect "[ Cancel ]"
  capture "chip-${chips#* }"
  keys Escape
  expect ! "$name"
  keys Escape
  expect "PROGRAM-ENDED-0"
done

# The same hive with no adapter named: three of the board's adapters, found by their chip type.
# The dialogs open the first and the status line says how to open another.
step="several adapters of the board"
start "--hive '$work/CHIPS'"
expect "QEL 700 M720 Dual" 120
expect "Board adapter 1 of 3; --adapter N opens another (see --list-adapters)"
capture several
keys Escape
expect "PROGRAM-ENDED-0"
start "--hive '$work/CHIPS' --adapter 3"
expect "QEL 700 M940 Quad" 120
expect "Board adapter 3 of 3"
keys Escape
expect "PROGRAM-ENDED-0"

# None: the program's own message, then the status line says what was looked at.
step="no adapter of the board"
cp "$data/SYSTEM" "$work/NONE"
printf '%s\n' "cd $guid_key" 'del' 'commit' | HOME=$work/home hivexsh -w "$work/NONE" || fail "cannot remove the board"
start "--hive '$work/NONE'"
expect "No Adapter Found" 120
keys Enter
expect 'No Adapter Found: the one adapter key has chip type "VGA", not QEL 700'
capture none
keys Escape
expect "PROGRAM-ENDED-0"

step="read-only hive"
chmod a-w "$data/SYSTEM"
start
expect "Orlo Configurator" 120
keys Space
expect "General Features"
keys Tab Tab Tab Down Enter
expect "Execute using Administrator Account"
expect "Insufficent Access Writes"
expect "General Features"
expect "Read-only: no permission to write the hive file"
capture read-only
keys Enter
expect ! "Execute using Administrator Account"
expect ! "General Features"
value=$(hivexget "$data/SYSTEM" "$board_key\\D3D" QLDRV_LOD_BIAS 2>&1 || true)
[ "$value" = "2" ] || fail "a read-only hive changed: QLDRV_LOD_BIAS reads '$value'"
keys Escape
expect "PROGRAM-ENDED-0"

if [ $failures -ne 0 ]; then
  echo "e2e: $failures failed"
  exit 1
fi
echo "e2e: all steps passed"
