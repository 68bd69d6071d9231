#!/usr/bin/env bash
# The rescue examples of README.md, of the manual page and of --help, run as they are written: every example
# line that starts with "configurator", in order, with only the hive path replaced by a copy of a
# hive that holds the board (the demo hive that the program makes in a fresh data folder). They run
# twice: on a hive with one adapter of the board, where every line must do what it says, and on a
# copy with two, where the scripting lines without --adapter N must refuse and name the choices.
# Saved values are read back with hivexget. Lines that open the dialogs run in tmux when it is
# there.
# Usage: examples-tests.sh PATH-TO-CONFIGURATOR SOURCE-DIR
set -uo pipefail
program=$(realpath "$1")
src=$2
source "$(dirname "$0")/../support/harness.sh"

# The examples as a reader sees them: the README's indented code, the manual as man shows it,
# the help's indented command lines.
mkdir -p "$scratch/bin" && ln -s "$program" "$scratch/bin/configurator"
readme=$(sed -n 's/^    \(configurator\( .*\)\?\)$/\1/p' "$src/README.md")
if command -v groff >/dev/null; then
  manual=$(sed 's/@PROJECT_VERSION@/0/' "$src/packaging/configurator.1.in" | groff -man -Tutf8 -rLL=300n 2>/dev/null | col -bx)
else
  manual=$(sed 's/\\-/-/g; s/\\f[BIR]//g' "$src/packaging/configurator.1.in")
fi
manual=$(sed -n '/^EXAMPLES/,/^SEE ALSO/s/^ *\(configurator\( .*\)\?\)$/\1/p' <<<"$manual")
usage=$(XDG_DATA_HOME=$scratch/help "$program" --help | sed -n 's/^  \(configurator .*\)$/\1/p')
grep -q -- "--hive .* --set " <<<"$usage" || fail "--help has no rescue example with --set: $usage"
grep -q -- "--hive .* --set " <<<"$readme" || fail "the README has no rescue example with --set: $readme"
grep -q -- "--hive .* --set " <<<"$manual" || fail "the manual has no rescue example with --set: $manual"
grep -q "HAND-OFF" <<<"$readme$manual$usage" && fail "an example still ends in a HAND-OFF placeholder"

guid='\ControlSet001\Control\Video\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}'
keys=("$guid\\0000" "$guid\\0001")  # the board's adapters, as --adapter numbers them
raw() { hivexget "$1" "$2" "$3" | od -An -tx1 | tr -d ' \n'; }
# The DDIVersion stored in adapter N (from 1) of a hive, as its two raw values say it.
ddi() {
  local key=${keys[$(($2 - 1))]}
  case "$(raw "$1" "$key" DisableDX8)/$(raw "$1" "$key" DisableDX9)" in
  01000000/*) echo 7 ;; 00000000/01000000) echo 8 ;; 00000000/00000000) echo 9 ;; *) echo "?" ;;
  esac
}
lod() { hivexget "$1" "${keys[$(($2 - 1))]}\\D3D" QLDRV_LOD_BIAS 2>/dev/null; }

# round BOARDS LINES...: a fresh data folder, a hive with BOARDS adapters of the board (their
# DDIVersion set to 7 first), then every line in order in one working folder.
round() {
  local boards=$1 work=$scratch/round-$1
  shift
  mkdir -p "$work/home" && cd "$work" || return
  export HOME=$work/home XDG_DATA_HOME=$work/data PATH=$scratch/bin:$PATH
  configurator --list-adapters >/dev/null 2>&1
  local hive=$work/SYSTEM-copy
  cp "$XDG_DATA_HOME/configurator/SYSTEM" "$hive"
  if [ "$boards" -eq 2 ]; then
    printf '%s\n' "cd $guid" 'add 0001' 'cd 0001' 'setval 2' 'HardwareInformation.AdapterString' \
      'string:QEL 700 M940 Quad' 'HardwareInformation.ChipType' 'string:QEL 700' 'add D3D' 'commit' |
      hivexsh -w "$hive" || fail "cannot add a second adapter of the board"
  fi
  for n in $(seq "$boards"); do
    local pick=()
    [ "$boards" -gt 1 ] && pick=(--adapter "$n")
    configurator --hive "$hive" "${pick[@]}" --set DDIVersion=7 --no-refresh </dev/null >/dev/null 2>&1
    [ "$(ddi "$hive" "$n")" = 7 ] || fail "cannot prepare adapter $n of $boards"
  done

  local line
  for line in "$@"; do
    # Only the hive path changes; the program is found as "configurator" on the PATH.
    local run=$line
    [[ "$line" =~ --(check-)?hive\ ([^ ]+) ]] && run=${line/"${BASH_REMATCH[2]}"/"$hive"}
    local what="[$boards adapter(s)] $line"
    local adapter=1 status expected=0
    [[ "$line" =~ --adapter\ ([0-9]+) ]] && adapter=${BASH_REMATCH[1]}
    # The undo lines: backups exist by now (the preparation and the lines before saved), so both
    # work; what a restore puts back is checked byte for byte in the hive tests.
    if [[ "$line" =~ --(list-backups|restore-backup) ]]; then
      bash -c "$run" </dev/null >"$work/out" 2>"$work/err" ||
        fail "$what exited $?: $(cat "$work/out" "$work/err")"
      # A restore says how to undo it: undone, the lines after it find the hive as they expect.
      local undo
      undo=$(sed -n 's/.*undo with: configurator .*--restore-backup \([0-9]*\)$/\1/p' "$work/out")
      if [[ "$line" == *--restore-backup* ]]; then
        [ -n "$undo" ] || fail "$what did not say how to undo it: $(cat "$work/out")"
        [ -z "$undo" ] || configurator --hive "$hive" --restore-backup "$undo" </dev/null >/dev/null 2>&1 ||
          fail "$what could not be undone with --restore-backup $undo"
      fi
      continue
    fi
    # The check reads the hive only, and finds it sound; hivexsh, which added the second
    # adapter, writes "lh" lists into a hive of format 1.3, and the check says so (65).
    if [[ "$line" == *--check-hive* ]]; then
      local sum faults
      sum=$(md5sum <"$hive")
      bash -c "$run" </dev/null >"$work/out" 2>"$work/err"
      status=$?
      faults=$(grep -c '  fault  ' "$work/out")
      if [ "$boards" -eq 1 ]; then
        [ "$status" -eq 0 ] && grep -q ": sound, " "$work/out" ||
          fail "$what exited $status, the hive not sound: $(cat "$work/out" "$work/err")"
      else
        [ "$status" -eq 65 ] && [ "$faults" -gt 0 ] &&
          [ "$(grep -c 'list at 0x[0-9a-f]* is in a hive of format 1.3' "$work/out")" = "$faults" ] ||
          fail "$what exited $status, with more than libhivex's lists: $(cat "$work/out" "$work/err")"
      fi
      [ "$(md5sum <"$hive")" = "$sum" ] || fail "$what changed the hive"
      continue
    fi
    local scripted=0
    [[ "$line" =~ --(query|set|reset|export|import) ]] && scripted=1
    if [[ "$line" == *--hive* && ("$scripted" = 1 || "$line" == *--adapter*) ]]; then
      # Several and no choice, or a number that is not among them: refused, naming the choices.
      if { [[ "$line" != *--adapter* ]] && [ "$boards" -gt 1 ]; } || [ "$adapter" -gt "$boards" ]; then
        expected=64
      fi
    fi
    if [ "$scripted" = 0 ] && [[ "$line" != *--list-adapters* ]]; then
      dialogs "$what" "$run" "$boards" "$adapter"
      continue
    fi
    local before=() n
    for n in $(seq "$boards"); do before+=("$(ddi "$hive" "$n")/$(lod "$hive" "$n")"); done
    bash -c "$run" </dev/null >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq "$expected" ] || fail "$what exited $status, not $expected: $(cat "$work/out" "$work/err")"
    if [ "$expected" -eq 64 ]; then
      for n in $(seq "$boards"); do
        grep -qF -- "--adapter $n: System${keys[$((n - 1))]}" "$work/err" || fail "$what did not name adapter $n: $(cat "$work/err")"
        [ "$(ddi "$hive" "$n")/$(lod "$hive" "$n")" = "${before[$((n - 1))]}" ] || fail "$what changed adapter $n"
      done
      continue
    fi
    [[ "$line" == *--hive* ]] || continue  # the demo's own lines: their status is all they tell
    if [[ "$line" == *--list-adapters* ]]; then
      for n in $(seq "$boards"); do
        grep -qF "[$n] System${keys[$((n - 1))]}" "$work/out" || fail "$what did not number adapter $n: $(cat "$work/out")"
      done
      grep -qF "[$((boards + 1))]" "$work/out" && fail "$what numbered more than $boards adapters"
      continue
    fi
    # What the line wrote, in the adapter it names and nowhere else.
    local want=${before[$((adapter - 1))]}
    [[ "$line" =~ --set\ DDIVersion=([0-9]) ]] && want=${BASH_REMATCH[1]}/${want#*/}
    # A profile carries every tuning value: the import gives the demo's, which it was exported from.
    [[ "$line" == *--import* ]] && want=$(ddi "$XDG_DATA_HOME/configurator/SYSTEM" 1)/$(lod "$XDG_DATA_HOME/configurator/SYSTEM" 1)
    [[ "$line" =~ --set\ (LODBias|VSync) ]] && fail "$what: no check for this setting in the test"
    [ "$(ddi "$hive" "$adapter")/$(lod "$hive" "$adapter")" = "$want" ] ||
      fail "$what: adapter $adapter holds DDIVersion/LOD bias $(ddi "$hive" "$adapter")/$(lod "$hive" "$adapter"), not $want"
    for n in $(seq "$boards"); do
      [ "$n" = "$adapter" ] && continue
      [ "$(ddi "$hive" "$n")/$(lod "$hive" "$n")" = "${before[$((n - 1))]}" ] || fail "$what changed adapter $n too"
    done
  done
  cd "$scratch" || return
}

# dialogs WHAT COMMAND BOARDS ADAPTER: the dialogs open on the adapter, and with several the status
# line says which and how to pick another; Escape ends the program with 0.
dialogs() {
  local what=$1 run=$2 boards=$3 adapter=$4
  command -v tmux >/dev/null || { skip "$what opens the dialogs (tmux is not installed)"; return; }
  local names=("QEL 700 M720 Dual" "QEL 700 M940 Quad")
  rm -f "$scratch/exit"
  term_start 100 30 \
    "cd '$PWD'; env HOME='$HOME' XDG_DATA_HOME='$XDG_DATA_HOME' PATH='$PATH' LANG=C.UTF-8 $run; echo EXIT=\$? >'$scratch/exit'"
  local step=$what
  term_expect "${names[$((adapter - 1))]}" || return
  [ "$boards" -gt 1 ] && term_expect "Board adapter $adapter of $boards"
  term_keys Escape
  for _ in $(seq 100); do [ -s "$scratch/exit" ] && break; sleep 0.1; done
  grep -qx "EXIT=0" "$scratch/exit" 2>/dev/null || fail "did not end with 0: $(cat "$scratch/exit" 2>/dev/null)"
}

mapfile -t lines < <(printf '%s\n%s\n%s\n' "$readme" "$manual" "$usage")
round 1 "${lines[@]}"
round 2 "${lines[@]}"

[ "$failures" -eq 0 ] && echo "the ${#lines[@]} example lines did what they say, on one adapter of the board and on two"
harness_done "example tests"
