#!/usr/bin/env bash
# Names every check that did not run, from the logs of test runs: the "skipped: WHAT (WHY)" lines
# that the shell tests, the test programs and scripts/check.sh print, and GoogleTest's skipped
# tests with their messages. The checks that need the hives Windows wrote come first, with where
# to put them. Prints nothing when every check ran.
#   scripts/skipped-checks.sh NAME=BUILD-DIR|NAME=LOG...
# A build dir stands for its last ctest log; NAME says where a check was skipped (e.g. posix).
set -euo pipefail
for source in "$@"; do
  name=${source%%=*} path=${source#*=}
  [ -d "$path" ] && path=$path/Testing/Temporary/LastTest.log
  [ -f "$path" ] || continue
  # One line per check that did not run: where (NAME/ctest test), then what and why.
  awk -v name="$name" '
    /^[0-9]+\/[0-9]+ Test: / { where = name "/" $3; message = ""; next }
    /^[^ ]+:[0-9]+: Skipped$/ { pending = 1; next }
    pending { pending = 0; message = $0; sub(/^skipped: /, "", message); next }
    /^\[  SKIPPED \] [^ ]+ \([0-9]+ ms\)$/ {
      print (where == "" ? name : where) "\t" (message == "" ? $4 " (no reason given)" : message)
      message = ""
      next
    }
    /^(e2e: )?skipped: / { sub(/^(e2e: )?skipped: /, ""); print (where == "" ? name : where) "\t" $0 }
  ' "$path"
done | awk -F'\t' '
  # Group by what went unchecked: a count and the places of each.
  {
    what = $2
    reference = what ~ /HIVE_REFERENCE_DIR/
    if (reference) {
      if (folder == "" && match(what, /no reference hives in [^;]*;/))
        folder = substr(what, RSTART + 22, RLENGTH - 23)
      sub(/ \(no reference hives in [^)]*\)$/, "", what)
    }
    key = reference SUBSEP what
    if (!(key in count)) { order[++kinds] = key; kind[key] = reference; text[key] = what }
    count[key]++
    if (!((key, $1) in seen)) { seen[key, $1] = 1; places[key] = places[key] (places[key] == "" ? "" : ", ") $1 }
    total++
    if (reference) references++
  }
  END {
    if (total == 0) exit
    printf "== %d check%s did not run, so what %s cannot be taken as working:\n", total, total == 1 ? "" : "s",
      total == 1 ? "it checks" : "they check"
    if (references > 0) {
      printf "== %d need the hives that Windows wrote, which are not in %s\n", references, folder
      printf "   (another project'"'"'s test data, never copied into this tree). Put them there, or set\n"
      printf "   HIVE_REFERENCE_DIR to their folder, and run the tests again. Unchecked until then:\n"
      list(1)
    }
    if (total > references) {
      printf "== %d did not run for other reasons:\n", total - references
      list(0)
    }
  }
  function list(reference,   i, key) {
    for (i = 1; i <= kinds; i++) {
      key = order[i]
      if (kind[key] != reference) continue
      printf "   - %s\n     (%d: %s)\n", text[key], count[key], places[key]
    }
  }
'
