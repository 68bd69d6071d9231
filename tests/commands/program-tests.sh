#!/usr/bin/env bash
# The configurator program's scripting actions as a script meets them, on real hive files: the
# query, sets checked with hivexget and the driver's reload log, exit statuses and messages, a
# hive byte-for-byte unchanged after every refused command, export and import round trips, a
# profile from another machine, a .reg file written by another program (reged -x), standard
# input and output, bounded input, conflicting values and the corrected spelling of a list text.
# Usage: program-tests.sh PATH-TO-CONFIGURATOR
set -uo pipefail
program=$1
source "$(dirname "$0")/../support/harness.sh"
at_exit 'chattr -a "$scratch/data/configurator/SYSTEM"'
isolate

data=$XDG_DATA_HOME/configurator
hive=$data/SYSTEM
adapter='Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\0000'
d3d="\\ControlSet001\\$adapter\\D3D"
device="\\ControlSet001\\$adapter"

# refused CODE PATTERN -- ARGS...: as expect, and the hive is byte-for-byte what it was.
refused() {
  cp "$hive" "$scratch/before"
  expect "$@"
  cmp -s "$hive" "$scratch/before" || fail "configurator ${*:4} changed the hive"
}
value() { hivexget "$hive" "$1" "$2"; }
raw() { hivexget "$hive" "$1" "$2" | od -An -tx1 | tr -d ' \n'; }
reloads() { wc -l 2>/dev/null <"$data/driver.log" || echo 0; }

# The demo board: the query needs no terminal and finds the adapter by discovery.
expect 0 "AntiAliasing=2 Sample Anti-Aliasing" -- --query
[ "$(head -1 <<<"$out")" = "AntiAliasing=2 Sample Anti-Aliasing" ] || fail "query's first line: $out"
[ "$(grep -c '=' <<<"$out")" -eq 11 ] || fail "query lists 11 settings: $out"
grep -qxF "# Adapter: QEL 700 M720 Dual" <<<"$out" || fail "query's hardware information: $out"
expect 0 "--import FILE" -- --help
# The switches of the Windows program work here too, through the same start-up.
expect 0 "GuardBandClipping=Enabled" -- /query
refused 64 'Configurator: set Bogus=1: no setting "Bogus"' -- /set:Bogus=1

# Sets: written as the dialogs write them, with one reload of the driver.
log_before=$(reloads)
expect 0 "" -- --set LODBias=0.50 --set "vsync=VSYNC OFF" --set CmdFifoSize=768K --set TripleBuffer=on
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = 2 ] || fail "LOD bias stored as $(value "$d3d" QLDRV_LOD_BIAS)"
[ "$(value "$d3d" QLDRV_SWAPINTERVAL)" = 0 ] || fail "swap interval stored as $(value "$d3d" QLDRV_SWAPINTERVAL)"
[ "$(raw "$device" CmdFifoSize)" = 00000c00 ] || fail "FIFO size stored as $(raw "$device" CmdFifoSize)"
[ "$(reloads)" -eq $((log_before + 1)) ] || fail "one reload after the sets"
tail -1 "$data/driver.log" | grep -F "LOD bias +0.50" >/dev/null || fail "the driver did not reload the LOD bias"
expect 0 "" -- --set MipMapDithering=Enable --no-refresh
[ "$(value "$d3d" QLDRV_LOD_DITHER)" = 1 ] || fail "dither not stored"
[ "$(reloads)" -eq $((log_before + 1)) ] || fail "a reload despite --no-refresh"
expect 0 "VSync=Software" -- --set VSync=Software --query
[ -z "$(value "$d3d" QLDRV_SWAPINTERVAL 2>/dev/null)" ] || fail "Software did not delete the swap interval"

# Refused: nothing written, a clear message, a status of its own.
refused 64 'no setting "Bogus"' -- --set LODBias=1.00 --set Bogus=1
refused 64 'LODBias has no entry "3"' -- --set LODBias=3
refused 64 "option --set needs NAME=VALUE" -- --set
# Bad switches in either spelling: refused with the argument as typed, before anything is written.
while IFS=$'\t' read -r pattern arguments; do
  read -ra words <<<"$arguments"
  refused 64 "$pattern" -- "${words[@]}"
done <<'EOF'
unknown option --qeury	--qeury
unknown option -x	-x --query
unknown option --frobnicate=1	--frobnicate=1
option --query takes no value	--query=yes
option --set needs NAME=VALUE, not ':'	--set :
option --set needs NAME=VALUE, not '=1'	--set =1
option --export needs FILE	--export=
Configurator: unknown switch '/qeury'	/qeury
Try 'Configurator /?' for more information.	/bogus
'/set::': expected /set:NAME=VALUE	/set::
'/set:': expected /set:NAME=VALUE	/set:
'/set:=': expected /set:NAME=VALUE	/set:=
'/SET:LODBias': expected /set:NAME=VALUE	/SET:LODBias
'/export:': expected /export:FILE	/export:
'/import:': expected /import:FILE	/import:
'/query:x': /query takes no value	/query:x
EOF

# A file name is taken byte for byte, UTF-8 or not, in both spellings of an option.
mkdir "$scratch/"$'\xff' && cp "$hive" "$scratch/"$'\xff'/SYSTEM
expect 0 "CurrentControlSet is ControlSet001" -- --hive "$scratch/"$'\xff'/SYSTEM --list-adapters
expect 0 "CurrentControlSet is ControlSet001" -- --hive="$scratch/"$'\xff'/SYSTEM --list-adapters

# Output that was lost is an error (74), said on standard error; one that cannot be said at
# all (standard error closed) still ends the same way.
lost() {
  local how=$1
  shift
  "$program" "$@" </dev/null
  status=$?
  [ "$status" -eq 74 ] || fail "configurator $* with its output lost ($how) exited $status, not 74"
}
for arguments in --query --help --list-adapters --version /query '/?' '--set LODBias=0.75 --query'; do
  read -ra words <<<"$arguments"
  lost "full" "${words[@]}" >/dev/full 2>"$scratch/err"
  grep -qxiF "configurator: cannot write the output: No space left on device" "$scratch/err" ||
    fail "configurator $arguments >/dev/full said: $(cat "$scratch/err")"
  lost "closed" "${words[@]}" >&- 2>"$scratch/err"
  grep -qxiF "configurator: cannot write the output: Bad file descriptor" "$scratch/err" ||
    fail "configurator $arguments >&- said: $(cat "$scratch/err")"
  lost "no standard error" "${words[@]}" >/dev/full 2>&-
done
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = 3 ] || fail "the set whose query output was lost was not saved"
refused 66 "$scratch/none.reg: no such file" -- --import "$scratch/none.reg"
printf 'hello\r\n' >"$scratch/broken.reg"
refused 65 "broken.reg:1: not a registry file" -- --import "$scratch/broken.reg"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n' >"$scratch/other.reg"
refused 65 "other.reg: nothing for this board" -- --import "$scratch/other.reg"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\%s\\D3D]\n"QLDRV_LOD_BIAS"=dword:00000002\n' \
  "$adapter" >"$scratch/type.reg"
refused 65 "type.reg:4: QLDRV_LOD_BIAS: the wrong type" -- --import "$scratch/type.reg" --set LODBias=1.00
chmod a-w "$hive"
refused 77 "Execute using Administrator Account" -- --set LODBias=1.00
chmod u+w "$hive"
# Append-only (or immutable): no save can replace it, so it is refused up front like any other
# hive that may not be written, saying why.
if chattr +a "$hive" 2>/dev/null; then
  refused 77 "the hive file is marked append-only (chattr +a), so it cannot be replaced" -- --set LODBias=1.00
  chattr -a "$hive"
else
  skip "that an append-only hive is refused up front (chattr +a is refused here)"
fi
cp "$data/board" "$scratch/plain-board"
sed -i 's/ board$/ plain/' "$scratch/plain-board"
refused 69 "No Adapter Found" -- --board "$scratch/plain-board" --query

# Export, change, import: the same export again, byte for byte.
expect 0 "" -- --export "$scratch/saved.reg"
head -c 2 "$scratch/saved.reg" | od -An -tx1 | grep "ff fe" >/dev/null || fail "the export has no UTF-16 byte-order mark"
iconv -f UTF-16 -t UTF-8 "$scratch/saved.reg" | grep -F "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\$adapter\\D3D]" >/dev/null ||
  fail "the export does not name the D3D key"
expect 0 "" -- --set LODBias=-2.0 --set VSync="Vsync On" --set DDIVersion=7 --set AntiAliasing=Fastest
expect 0 "" -- --import "$scratch/saved.reg"
expect 0 "" -- --export "$scratch/again.reg"
cmp -s "$scratch/saved.reg" "$scratch/again.reg" || fail "import did not restore the exported tuning"
# Errors in the system's words; a file made but not written whole is a failed write.
expect 73 "x.reg: cannot create the file: No such file or directory" -- --export "$scratch/no-such-folder/x.reg"
expect 73 "$scratch: cannot create the file: Is a directory" -- --export "$scratch"
expect 74 "/dev/full: the export was not written whole, nothing was replaced: No space left on device" -- --export /dev/full

# Another machine's profile: another GUID, control set and adapter index.
iconv -f UTF-16 -t UTF-8 "$scratch/saved.reg" |
  sed 's/{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000/{01234567-89AB-CDEF-0123-456789ABCDEF}\\0002/;
       s/CurrentControlSet/ControlSet003/; s/"QLDRV_LOD_BIAS"="[^"]*"/"QLDRV_LOD_BIAS"="-4"/' >"$scratch/foreign.reg"
expect 0 "" -- --import "$scratch/foreign.reg"
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = -4 ] || fail "the foreign profile's LOD bias: $(value "$d3d" QLDRV_LOD_BIAS)"

# A file another program wrote: reged's export of the adapter key, with every value of it.
if command -v reged >/dev/null; then
  expect 0 "" -- --set LODBias=0.25 --set DDIVersion=8 --no-refresh
  cp "$hive" "$scratch/other.hive"
  reged -x "$scratch/other.hive" 'HKEY_LOCAL_MACHINE\SYSTEM' "\\ControlSet001\\$adapter" "$scratch/reged.reg" >/dev/null
  expect 0 "" -- --set LODBias=2.00 --set DDIVersion=9 --no-refresh
  expect 0 "skipped HardwareInformation.ChipType: not a tuning value" -- --import "$scratch/reged.reg"
  [ "$(value "$d3d" QLDRV_LOD_BIAS)" = 1 ] || fail "reged's profile: LOD bias $(value "$d3d" QLDRV_LOD_BIAS)"
  [ "$(raw "$device" DisableDX9)" = 01000000 ] || fail "reged's profile: DisableDX9 $(raw "$device" DisableDX9)"
  [ "$(value "$device" HardwareInformation.ChipType)" = "QEL 700" ] || fail "reged's profile touched the hardware values"
else
  skip "that a profile written by reged -x imports (chntpw is not installed)"
fi

# Another program's export of the whole hive: the board's adapter is found among the others,
# every other key is skipped with a note.
expect 0 "" -- --set LODBias=-0.25 --set CmdFifoSize=896K --no-refresh
hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$hive" '\' >"$scratch/whole.reg"
expect 0 "" -- --set LODBias=2.00 --set CmdFifoSize=512K --no-refresh
expect 0 "0000]: an adapter of another chip (VGA)" -- --import "$scratch/whole.reg" --no-refresh
grep -qF "skipped [HKEY_LOCAL_MACHINE\SYSTEM\Select]: not a tuning key" <<<"$err" || fail "whole hive: $err"
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = -1 ] || fail "the whole hive's LOD bias: $(value "$d3d" QLDRV_LOD_BIAS)"
[ "$(raw "$device" CmdFifoSize)" = 00000e00 ] || fail "the whole hive's FIFO size: $(raw "$device" CmdFifoSize)"

# Standard input and output: "-" for --import and --export; the query cannot share the output.
expect 0 "" -- --set LODBias=1.25 --set "AntiAliasing=4 Sample Anti-Aliasing" --no-refresh
expect 0 'QLDRV_LOD_BIAS"="5"' -- --export -
[ "$(head -1 "$scratch/out")" = "Windows Registry Editor Version 5.00" ] || fail "export to -: $out"
cp "$scratch/out" "$scratch/stdout.reg"
expect 0 "" -- --set LODBias=0.00 --set AntiAliasing=Fastest --no-refresh
"$program" --import - --no-refresh <"$scratch/stdout.reg" >"$scratch/out" 2>"$scratch/err" || fail "import from -: $(cat "$scratch/err")"
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = 5 ] || fail "import from - did not set the LOD bias"
[ ! -e ./- ] || fail "a file named - was made"
refused 64 "query and export to standard output (-) cannot go together" -- --query --export -

# Bounded input: a file past 16 MiB is refused unread, a device that never ends past the limit.
truncate -s 17M "$scratch/large.reg"
refused 65 "large.reg: larger than 16 MiB, the most a profile may hold" -- --import "$scratch/large.reg"
refused 65 "/dev/zero: larger than 16 MiB" -- --import /dev/zero
"$program" --import - </dev/zero >"$scratch/out" 2>"$scratch/err"
[ $? -eq 65 ] && grep -qF "standard input: larger than 16 MiB" "$scratch/err" || fail "import - </dev/zero: $(cat "$scratch/err")"
# A pipe is read to its end; a profile of only its header imports nothing and says so.
mkfifo "$scratch/fifo"
printf 'Windows Registry Editor Version 5.00\r\n' >"$scratch/fifo" &
writer=$!
refused 0 "configurator: $scratch/fifo: nothing to import" -- --import "$scratch/fifo"
# A program that never opened the pipe leaves the writer waiting for a reader: end it.
kill "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
[ -z "$out" ] || fail "nothing to import printed on standard output: $out"

# One setting, two values: refused, naming both, whether from --set or from the profile.
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\%s\\D3D]\n"QLDRV_LOD_BIAS"="2"\n' \
  "$adapter" >"$scratch/lod.reg"
refused 64 "set LODBias=1.00: LODBias is also given 0.50 (set LODBias=0.50); give it one value" -- \
  --set LODBias=0.50 --set LODBias=1.00
refused 64 "set LODBias=1.00: LODBias is also given 0.50 ($scratch/lod.reg:4)" -- \
  --set LODBias=1.00 --import "$scratch/lod.reg"
expect 0 "" -- --set LODBias=0.50 --import "$scratch/lod.reg" --set lodbias=0.50
[ "$(value "$d3d" QLDRV_LOD_BIAS)" = 2 ] || fail "the same value twice was not written"

# A one-chip board spells an entry "2 Sample Anit-aliasing": its right spelling is taken too,
# and the query shows the dialog's own.
cp "$hive" "$scratch/single.hive"
printf '%s\n' "cd $device" 'setval 2' 'HardwareInformation.AdapterString' 'string:QEL 700 M700 Single' \
  'HardwareInformation.ChipType' 'string:QEL 700' commit | hivexsh -w "$scratch/single.hive"
expect 0 "AntiAliasing=2 Sample Anit-aliasing" -- --hive "$scratch/single.hive" --board "$data/board" \
  --set "AntiAliasing=2 SAMPLE ANTI-ALIASING" --no-refresh --query

# The demo hive, saved by every set, import and reset above, passes the program's own check.
expect 0 ": sound, 0 warnings" -- --check-hive "$hive"

harness_done "program command tests"
