#!/usr/bin/env bash
# The board's adapters found in a hive that comes with no board file: one is used; of several,
# --list-adapters numbers them, --adapter N picks one and the scripting actions refuse to guess;
# none says what was looked at. A hand-off string and a board file still decide as before. Every
# refusal leaves the hive as it was. An adapter's key is Control\Video\{GUID}\NNNN, or the driver
# service's Services\<service>\DeviceN as Windows 2000 names it.
# Usage: adapters-tests.sh PATH-TO-CONFIGURATOR
set -uo pipefail
program=$1
source "$(dirname "$0")/../support/harness.sh"
isolate

"$program" --list-adapters >/dev/null 2>&1 || fail "the demo folder was not made"
demo=$XDG_DATA_HOME/configurator
video='\ControlSet001\Control\Video'
guid="$video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}"
plain="$video\\{2F0A3C44-7B1D-4E2A-9C3B-5D6E7F809A1B}"
# hive NAME COMMANDS...: a copy of the demo hive changed by hivexsh commands (setval replaces
# every value of the key).
hive() {
  local name=$1
  shift
  cp "$demo/SYSTEM" "$scratch/$name"
  [ $# -eq 0 ] || printf '%s\n' "$@" commit | hivexsh -w "$scratch/$name" || fail "cannot make the hive $name"
}
chip() { printf '%s\n' "cd $1" 'setval 1' 'HardwareInformation.ChipType' "string:$2"; }
hive ONE
hive TWO "cd $guid" 'add 0001' 'cd 0001' 'setval 2' 'HardwareInformation.AdapterString' 'string:QEL 700 M940 Quad' \
  'HardwareInformation.ChipType' 'string:QEL 700' 'add D3D'
mapfile -t other < <(chip "$guid\\0000" "QEL 600")
hive OTHER "${other[@]}"
hive VGAONLY "cd $guid" 'del'
hive NOKEYS "cd $guid" 'del' "cd $plain\\0000" 'del'
hive NOVIDEO "cd $video" 'del'
# A key name with '&' cannot be carried by a hand-off string: never the board's device.
hive AMPERSAND "cd $guid" 'del' 'cd \ControlSet001' 'add Services' 'cd Services' 'add qel&700' 'cd qel&700' \
  'add Device0' 'cd Device0' 'setval 1' 'HardwareInformation.ChipType' 'string:QEL 700'
# The board in the second control set, which Select\Current names: the numbered path is its.
hive SECOND 'cd \Select' 'setval 4' 'Current' 'dword:2' 'Default' 'dword:2' 'LastKnownGood' 'dword:1' 'Failed' 'dword:0' \
  'cd \' 'add ControlSet002' 'cd ControlSet002' 'add Control' 'cd Control' 'add Video' 'cd Video' 'add {AB000000-0000-4000-8000-00000000000B}' \
  'cd {AB000000-0000-4000-8000-00000000000B}' 'add 0003' 'cd 0003' 'setval 2' 'HardwareInformation.AdapterString' 'string:QEL 700 M700 Single' \
  'HardwareInformation.ChipType' 'string:QEL 700'

# The board under its driver service, as Windows 2000 keeps it; beside it a VGA driver's device key
# that holds no hardware information and is no adapter.
service='\ControlSet001\Services\qel700\Device0'
hive W2K "cd $guid" 'del' 'cd \ControlSet001' 'add Services' 'cd Services' 'add VgaSave' 'cd VgaSave' 'add Device0' \
  'cd Device0' 'setval 1' 'InstalledDisplayDrivers' 'string:vga' 'cd \ControlSet001\Services' 'add qel700' \
  'cd qel700' 'add Device0' 'cd Device0' 'setval 4' 'HardwareInformation.AdapterString' 'string:QEL 700 M720 Dual' \
  'HardwareInformation.ChipType' 'string:QEL 700' 'DisableDX8' 'hex:3:00,00,00,00' 'CmdFifoSize' 'hex:3:00,00,08,00' \
  'add D3D' 'cd D3D' 'setval 1' 'QLDRV_LOD_BIAS' 'string:-2'
# On XP and later the driver service keeps a Device0 key too: the Video key that names the service
# is the adapter's, not another adapter.
hive XPSERVICE 'cd \ControlSet001' 'add Services' 'cd Services' 'add QEL700' 'cd QEL700' 'add Device0' 'cd Device0' \
  'setval 1' 'HardwareInformation.ChipType' 'string:QEL 700'

key() { printf '%s' "System\\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\$1"; }
w2k_key='System\ControlSet001\Services\qel700\Device0'
places='System\ControlSet001\Control\Video or System\ControlSet001\Services\<service>\DeviceN'

hand_off="\\\\.\\DISPLAY9&&&\\Registry\\Machine\\$(key 0001)"
none="none of the 2 adapter keys has chip type QEL 700 (under $places)"
two_choices="--adapter 1: $(key 0000) (QEL 700 M720 Dual)"

# HIVE | STATUS | TEXT (in stdout or stderr) | ARGUMENTS (after --hive HIVE, split at blanks)
cases="
ONE     | 0  | AntiAliasing=2 Sample Anti-Aliasing                               | --query
ONE     | 0  | [1] $(key 0000)                                                    | --list-adapters
ONE     | 0  | [1] is the board's adapter: it is used.                           | --list-adapters
ONE     | 0  | # Adapter: QEL 700 M720 Dual                                       | --adapter 1 --query
ONE     | 64 | --adapter 2: there is 1 adapter of the board:                      | --adapter 2 --query
TWO     | 0  | [2] $(key 0001)                                                    | --list-adapters
TWO     | 0  | scripting actions (--query, --set, --export, --import) need --adapter N | --list-adapters
TWO     | 64 | $scratch/TWO has 2 adapters of the board; choose one with --adapter N: | --query
TWO     | 64 | $two_choices                                                       | --set DDIVersion=7
TWO     | 64 | --adapter 2: $(key 0001) (QEL 700 M940 Quad)                       | --export $scratch/two.reg
TWO     | 64 | $two_choices                                                       | --import $scratch/profile.reg
TWO     | 0  | # Adapter: QEL 700 M940 Quad                                       | --adapter 2 --query
TWO     | 64 | --adapter 3: there are 2 adapters of the board:                    | --adapter 3 --set DDIVersion=7
TWO     | 64 | --adapter 3: there are 2 adapters of the board:                    | --adapter 3
TWO     | 64 | option --adapter needs a number N from 1                           | --adapter 0 --query
TWO     | 64 | option --adapter needs a number N from 1                           | --adapter two --query
TWO     | 64 | option --adapter needs a number N from 1                           | --query --adapter
TWO     | 64 | --adapter and a HAND-OFF both name the adapter                     | --adapter 1 --query $hand_off
TWO     | 0  | # Adapter: QEL 700 M940 Quad                                       | --query $hand_off
TWO     | 0  | # Adapter: QEL 700 M720 Dual                                       | --board $demo/board --query
OTHER   | 69 | No Adapter Found in $scratch/OTHER: $none                          | --query
OTHER   | 69 | No Adapter Found in $scratch/OTHER: $none                          | --adapter 1 --set DDIVersion=7
OTHER   | 0  | No adapter of the board: $none.                                    | --list-adapters
VGAONLY | 69 | the one adapter key has chip type \"VGA\", not QEL 700 (under $places) | --set DDIVersion=7
NOKEYS  | 69 | No Adapter Found in $scratch/NOKEYS: no adapter keys under System\\ControlSet001\\Control\\Video, and no key System\\ControlSet001\\Services\\<service>\\DeviceN holds hardware information | --query
NOVIDEO | 69 | the current control set has no key System\\ControlSet001\\Control\\Video | --export $scratch/none.reg
AMPERSAND | 69 | chip type QEL 700 under $places have a '&' in their names | --query
SECOND  | 0  | [1] System\\ControlSet002\\Control\\Video\\{AB000000-0000-4000-8000-00000000000B}\\0003              | --list-adapters
SECOND  | 0  | # Adapter: QEL 700 M700 Single                                     | --query
W2K     | 0  | [1] $w2k_key                                                       | --list-adapters
W2K     | 0  | Hand-off:  '\\\\.\\DISPLAY1&&&\\Registry\\Machine\\$w2k_key'          | --list-adapters
W2K     | 0  | LODBias=-0.50                                                      | --query
W2K     | 0  | # Adapter: QEL 700 M720 Dual                                       | --query \\\\.\\DISPLAY1&&&\\Registry\\Machine\\$w2k_key
W2K     | 64 | --adapter 2: there is 1 adapter of the board:                      | --adapter 2 --query
XPSERVICE | 0 | [1] is the board's adapter: it is used.                           | --list-adapters
XPSERVICE | 0 | # Adapter: QEL 700 M720 Dual                                       | --query
"
"$program" --export "$scratch/profile.reg" >/dev/null 2>&1 || fail "cannot export the demo's profile"
while IFS='|' read -r name status text arguments; do
  name=$(xargs <<<"$name") status=$(xargs <<<"$status") text=$(sed 's/^ *//; s/ *$//' <<<"$text")
  [ -n "$name" ] || continue
  read -ra words <<<"$arguments"
  cp "$scratch/$name" "$scratch/before"
  "$program" --hive "$scratch/$name" "${words[@]}" >"$scratch/out" 2>"$scratch/err" </dev/null
  got=$?
  what="--hive $name$arguments"
  [ "$got" -eq "$status" ] || fail "$what exited $got, not $status: $(cat "$scratch/out" "$scratch/err")"
  grep -qF -- "$text" "$scratch/out" "$scratch/err" || fail "$what did not say '$text': $(cat "$scratch/out" "$scratch/err")"
  if [ "$status" -ne 0 ]; then
    cmp -s "$scratch/$name" "$scratch/before" || fail "$what changed the hive"
    [ -e "$scratch/two.reg" ] && fail "$what wrote its export file"
  fi
done <<<"$cases"

# What was picked is what is written, and only there.
raw() { hivexget "$scratch/$1" "$2" DisableDX8 | od -An -tx1 | tr -d ' \n'; }
"$program" --hive "$scratch/TWO" --adapter 2 --set DDIVersion=7 >/dev/null 2>&1 || fail "--adapter 2 --set"
[ "$(raw TWO "$guid\\0001")" = 01000000 ] || fail "--adapter 2 did not write adapter 2"
[ "$(raw TWO "$guid\\0000")" = 00000000 ] || fail "--adapter 2 wrote adapter 1"
"$program" --hive "$scratch/SECOND" --set DDIVersion=7 >/dev/null 2>&1 || fail "--set in the second control set"
[ "$(raw SECOND '\ControlSet002\Control\Video\{AB000000-0000-4000-8000-00000000000B}\0003')" = 01000000 ] || fail "not written in ControlSet002"
# Under the service's key: the values, the profile's keys, and a profile of the other shape.
"$program" --hive "$scratch/W2K" --set DDIVersion=7 --set LODBias=0.50 >/dev/null 2>&1 || fail "--set under Device0"
[ "$(raw W2K "$service")" = 01000000 ] || fail "--set did not write DisableDX8 under Device0"
[ "$(hivexget "$scratch/W2K" "$service\\D3D" QLDRV_LOD_BIAS)" = 2 ] || fail "--set did not write the D3D text"
"$program" --hive "$scratch/W2K" --export "$scratch/w2k.reg" >/dev/null 2>&1 || fail "--export under Device0"
grep -qF "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\qel700\\Device0\\D3D]" <(iconv -f UTF-16 -t UTF-8 "$scratch/w2k.reg") ||
  fail "the export does not name the service's D3D key: $(iconv -f UTF-16 -t UTF-8 "$scratch/w2k.reg")"
"$program" --hive "$scratch/W2K" --import "$scratch/profile.reg" >"$scratch/out" 2>&1 ||
  fail "a profile of Control\\Video does not import under Device0: $(cat "$scratch/out")"
[ "$(raw W2K "$service")" = 00000000 ] || fail "the Video profile did not set DisableDX8 under Device0"
[ "$(hivexget "$scratch/W2K" "$service\\D3D" QLDRV_LOD_BIAS)" = 0 ] || fail "the Video profile did not set LOD bias"
"$program" --hive "$scratch/ONE" --import "$scratch/w2k.reg" >"$scratch/out" 2>&1 ||
  fail "a profile of Services\\<service>\\Device0 does not import under Control\\Video: $(cat "$scratch/out")"
[ "$(raw ONE "$guid\\0000")" = 01000000 ] || fail "the Device0 profile did not set DisableDX8 under Video"
[ "$(hivexget "$scratch/ONE" "$guid\\0000\\D3D" QLDRV_LOD_BIAS)" = 2 ] || fail "the Device0 profile did not set LOD bias"
# A reset deletes the tuning values and nothing else, as an independent reader sees it; a reset and
# a set of one setting are refused and change nothing.
cp "$scratch/W2K" "$scratch/RESET"
"$program" --hive "$scratch/RESET" --reset LODBias --set LODBias=0.50 >/dev/null 2>&1
[ $? -eq 64 ] || fail "--reset and --set of one setting were not refused with 64"
cmp -s "$scratch/RESET" "$scratch/W2K" || fail "a refused reset changed the hive"
"$program" --hive "$scratch/RESET" --reset >"$scratch/out" 2>&1 || fail "--reset under Device0: $(cat "$scratch/out")"
for value in DisableDX8 CmdFifoSize; do
  hivexget "$scratch/RESET" "$service" "$value" >/dev/null 2>&1 && fail "--reset left $value"
done
hivexget "$scratch/RESET" "$service\\D3D" QLDRV_LOD_BIAS >/dev/null 2>&1 && fail "--reset left QLDRV_LOD_BIAS"
[ "$(hivexget "$scratch/RESET" "$service" HardwareInformation.ChipType)" = "QEL 700" ] ||
  fail "--reset deleted the hardware information"
# No driver runs on an offline installation: nothing claims a reload, and no log is written.
[ -e "$scratch/driver.log" ] && fail "a driver log beside the hives"
grep -q "DISPLAY1 reloaded" "$demo/driver.log" 2>/dev/null && fail "a hive's adapter reloaded into the demo's log"

harness_done "adapter tests"
