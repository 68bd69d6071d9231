#!/usr/bin/env bash
# The terminal program end to end: the build's own program in tmux with a fresh HOME (so it makes
# its demo data), keys in, screen out, and the hive read back with hivexget. The terminal is a
# Linux console's 80×24: every dialog must show whole there.
# Exits 77 (skipped) when tmux or hivexget is missing.
# Usage: e2e.sh PROGRAM [ARTIFACTS-DIR]; the screen captures go to ARTIFACTS-DIR (default: none kept).
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/harness.sh"
artifacts=${2:-$scratch/artifacts}

command -v tmux >/dev/null || skip_all "the terminal program end to end (tmux is not installed)"
command -v hivexget >/dev/null || skip_all "the terminal program end to end (hivexget is not installed)"

mkdir -p "$scratch/home" "$artifacts"
data=$scratch/home/.local/share/configurator
board_key='ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'

capture() { term_screen >"$artifacts/e2e-$1.txt"; }
# start [ARGUMENTS]: the program in a new 80×24 terminal; ARGUMENTS are quoted for the shell. The
# pane stays after the program ends, so that its exit line can be read.
start() {
  term_start 80 24 "env HOME='$scratch/home' LANG=C.UTF-8 '$program' ${1:-}; echo PROGRAM-ENDED-\$?; sleep 600"
}

step="main dialog"
start
term_wait "Orlo Configurator" 120 || { fail "the main dialog did not appear"; exit 1; }
for text in Adapter BIOS Chip Memory "QEL 700 M720 Dual" "QEL BIOS 3.07.21" Meg "[ General ]" "[ QEL 700 ]" "[ Exit ]"; do
  term_expect "$text"
done
# The key line tells the truth: Escape quits the program here.
term_expect "Tab Next  Enter Press  Esc Exit  F10 Menu"
capture main

# whole TEXT: the dialog whose title bar holds TEXT shows from its left frame to its right one,
# with no arrow on the screen's edges saying that it goes on beyond them.
whole() {
  local top
  top=$(term_screen | grep -F -- "$1" | sed -n 1p)
  [[ "$top" == *"╔"*"$1"*"╗"* ]] || fail "a frame of '$1' is off the screen: '$top'"
  term_screen | grep -E '^[<]|[>]$' >/dev/null && fail "the screen is scrolled sideways"
  return 0
}

step="General Features whole at 80x24: LOD Bias 0.50 and OK"
term_keys Space
term_expect "General Features"
whole "General Features"
for text in "Command Fifo" "[ Cancel ]" "[< OK >]" "MIpMap LOD Dithering" "Esc Cancel"; do
  term_expect "$text"
done
capture general-whole
# Tab order: DDI Version, Enable Tripple Buffer, VSync, LOD Bias. Alt+Down opens the list (tmux
# sends it as ESC [ 1 ; 3 B); Tab keeps the entry highlighted there and moves on, as on Windows.
term_keys Tab Tab Tab M-Down
term_expect "Tab Pick, next"
term_keys Home
for _ in 1 2 3 4 5 6 7 8 9 10; do term_keys Down; done
capture general-lod-list
term_keys Tab
term_expect "[0.50"
capture general
term_keys Enter
term_expect ! "General Features"
value=$(hivexget "$data/SYSTEM" "$board_key\\D3D" QLDRV_LOD_BIAS 2>&1 || true)
[ "$value" = "2" ] || fail "QLDRV_LOD_BIAS reads '$value', not 2"
hivexget "$data/SYSTEM" "$board_key\\D3D" | grep -x '"QLDRV_LOD_BIAS"="2"' >/dev/null ||
  fail "QLDRV_LOD_BIAS is not the REG_SZ \"2\": $(hivexget "$data/SYSTEM" "$board_key\\D3D" | grep -i lod_bias)"
# One status line, shortened; F2 shows the whole reload line, and the next key only closes it.
term_expect "Driver: "
[ "$(term_screen | grep -c 'Driver: ')" = 1 ] || fail "the status line takes more than one row"
capture reloaded
term_keys F2
# The message wraps at words, so look for single words of it.
term_expect "+0.50,"
term_expect "command FIFO 512K"
capture message
term_keys Escape
term_expect ! "command FIFO 512K"
term_expect "Orlo Configurator"

step="chip dialog, cancelled"
term_keys Tab Space
term_expect "Dual Chip QEL 700"
capture chip
term_keys Escape
term_expect ! "Dual Chip QEL 700"

step="About box from the window menu"
term_keys F10
term_expect "About Configurator..."
capture window-menu
term_keys a
term_expect "Configurator Version 1.1"
capture about
term_keys Enter
term_expect ! "Configurator Version 1.1"
term_keys M-Space
term_expect "About Configurator..."
term_keys Escape
term_expect ! "About Configurator..."

step="Exit"
term_keys Escape
term_expect "PROGRAM-ENDED-0"

# The single- and quad-chip dialogs: adapters of their own beside the demo's, in a copy of its
# hive, named on the command line.
step="single- and quad-chip dialogs"
cp "$data/SYSTEM" "$scratch/CHIPS"
guid_key='\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}'
printf '%s\n' "cd $guid_key" 'add 0001' 'cd 0001' 'setval 2' 'HardwareInformation.AdapterString' \
  'string:QEL 700 M700 Single' 'HardwareInformation.ChipType' 'string:QEL 700' \
  "cd $guid_key" 'add 0002' 'cd 0002' 'setval 2' 'HardwareInformation.AdapterString' \
  'string:QEL 700 M940 Quad' 'HardwareInformation.ChipType' 'string:QEL 700' 'commit' |
  HOME=$scratch/home hivexsh -w "$scratch/CHIPS" || fail "cannot add the adapters"
for chips in "0001 Single" "0002 Quad"; do
  index=${chips% *} name="${chips#* } Chip QEL 700"
  hand_off='\\.\DISPLAY9&&&\Registry\Machine\System'"$guid_key"'\'"$index"
  start "--hive '$scratch/CHIPS' '$hand_off'"
  term_expect "Orlo Configurator" 120
  term_keys Tab Space
  term_expect "$name"
  whole "$name"
  term_expect "[ Cancel ]"
  capture "chip-${chips#* }"
  term_keys Escape
  term_expect ! "$name"
  term_keys Escape
  term_expect "PROGRAM-ENDED-0"
done

# The same hive with no adapter named: three of the board's adapters, found by their chip type.
# The dialogs open the first and the status line says how to open another.
step="several adapters of the board"
start "--hive '$scratch/CHIPS'"
term_expect "QEL 700 M720 Dual" 120
term_expect "Board adapter 1 of 3; --adapter N opens another (see --list-adapters)"
capture several
term_keys Escape
term_expect "PROGRAM-ENDED-0"
start "--hive '$scratch/CHIPS' --adapter 3"
term_expect "QEL 700 M940 Quad" 120
term_expect "Board adapter 3 of 3"
term_keys Escape
term_expect "PROGRAM-ENDED-0"

# None: the program's own message, then the status line says what was looked at.
step="no adapter of the board"
cp "$data/SYSTEM" "$scratch/NONE"
printf '%s\n' "cd $guid_key" 'del' 'commit' | HOME=$scratch/home hivexsh -w "$scratch/NONE" || fail "cannot remove the board"
start "--hive '$scratch/NONE'"
term_expect "No Adapter Found" 120
term_keys Enter
term_expect 'No Adapter Found: the one adapter key has chip type "VGA", not QEL 700'
capture none
term_keys Escape
term_expect "PROGRAM-ENDED-0"

step="read-only hive"
chmod a-w "$data/SYSTEM"
start
term_expect "Orlo Configurator" 120
term_keys Space
term_expect "General Features"
term_keys Tab Tab Tab Down Enter
term_expect "Execute using Administrator Account"
term_expect "Insufficent Access Writes"
term_expect "General Features"
term_expect "Read-only: no permission to write the hive file"
capture read-only
term_keys Enter
term_expect ! "Execute using Administrator Account"
term_expect ! "General Features"
value=$(hivexget "$data/SYSTEM" "$board_key\\D3D" QLDRV_LOD_BIAS 2>&1 || true)
[ "$value" = "2" ] || fail "a read-only hive changed: QLDRV_LOD_BIAS reads '$value'"
term_keys Escape
term_expect "PROGRAM-ENDED-0"

harness_done e2e
