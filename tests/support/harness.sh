# The shell tests' harness, sourced by each of them (tests/*/*-tests.sh, tests/terminal/e2e.sh):
#   scratch                a fresh folder of the test's own, removed at exit
#   at_exit COMMAND        a clean-up to run at exit, before the scratch folder goes
#   fail TEXT              a failed check: "FAIL: [STEP: ]TEXT", and the screen if a terminal is up
#   skip TEXT              a check that did not run: "skipped: WHAT WENT UNCHECKED (WHY)", counted;
#                          scripts/test.sh gathers these lines and names them at its end
#   skip_all TEXT          the whole test cannot run here: says so and exits 77 (ctest: skipped)
#   isolate                HOME and XDG_DATA_HOME in the scratch folder, as on a fresh machine
#   run ARGS...            $program ARGS, no input: its output in $out and $err, its status in $status
#   expect CODE TEXT -- ARGS...   run, then its status and a line of its output (or error) holding TEXT
#   term_start COLUMNS ROWS COMMAND   COMMAND (a shell string) in a terminal of that size (tmux)
#   term_screen / term_keys KEYS... / term_wait [!] TEXT [SECONDS] / term_expect [!] TEXT [SECONDS]
#   harness_done NAME      the last line and the exit status: 1 when a check failed
# The caller sets its shell options (set -uo pipefail) and $step, which fail names, as it goes.

scratch=$(mktemp -d)
failures=0
skips=0
step=""
harness_cleanups=()
term_socket=""
term_sessions=0

at_exit() { harness_cleanups+=("$1"); }
harness_exit() {
  local cleanup
  term_stop
  for cleanup in "${harness_cleanups[@]}"; do eval "$cleanup" 2>/dev/null || true; done
  chmod -R u+w "$scratch" 2>/dev/null
  rm -rf "$scratch"
}
trap harness_exit EXIT

fail() {
  echo "FAIL: ${step:+$step: }$*"
  failures=$((failures + 1))
  if [ -n "$term_socket" ] && tmux -S "$term_socket" has-session 2>/dev/null; then term_screen | sed 's/^/  | /'; fi
  return 0
}
skip() {
  echo "skipped: $*"
  skips=$((skips + 1))
}
skip_all() {
  echo "skipped: $*"
  exit 77
}

isolate() {
  export XDG_DATA_HOME=$scratch/data HOME=$scratch/home
  mkdir -p "$HOME" && : >"$HOME/.hivexsh"  # hivexsh reads it at start
}

run() {
  "$program" "$@" >"$scratch/out" 2>"$scratch/err" </dev/null
  status=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
}
expect() {
  local code=$1 text=$2
  shift 3
  run "$@"
  [ "$status" -eq "$code" ] || fail "configurator $* exited $status, not $code: $out $err"
  grep -F -- "$text" <<<"$out"$'\n'"$err" >/dev/null || fail "configurator $* did not say '$text': $out $err"
}

# A tmux server of its own for each terminal: a new one never meets one that is still going away,
# and neither meets the user's.
term_start() {
  term_stop
  term_sessions=$((term_sessions + 1))
  term_socket=$scratch/tmux-$term_sessions.sock
  tmux -S "$term_socket" -f /dev/null new-session -d -s test -x "$1" -y "$2" "$3"
  tmux -S "$term_socket" set -s escape-time 0 >/dev/null 2>&1
  tmux -S "$term_socket" set -g status off >/dev/null 2>&1
  return 0
}
term_stop() {
  [ -z "$term_socket" ] || tmux -S "$term_socket" kill-server 2>/dev/null
  return 0
}
term_screen() { tmux -S "$term_socket" capture-pane -p -t test 2>/dev/null || true; }
# Keys a little apart, as a person types them: an Escape is not taken as the start of the next key.
term_keys() {
  tmux -S "$term_socket" send-keys -t test "$@"
  sleep 0.3
}
# Until the screen shows TEXT (with !, until it no longer does), at most SECONDS (20).
term_wait() {
  local negate=0
  if [ "$1" = "!" ]; then
    negate=1
    shift
  fi
  local text=$1 end=$((SECONDS + ${2:-20})) shown
  while :; do
    shown=0
    term_screen | grep -F -- "$text" >/dev/null && shown=1
    [ $shown -ne $negate ] && return 0
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}
term_expect() {
  term_wait "$@" && return 0
  if [ "$1" = "!" ]; then fail "the screen still shows '$2'"; else fail "the screen never showed '$1'"; fi
  return 1
}

harness_done() {
  if [ "$failures" -gt 0 ]; then
    echo "$1: $failures failed"
    exit 1
  fi
  if [ "$skips" -gt 0 ]; then
    echo "$1: every check that ran passed, but $skips did not run (the skipped: lines above)"
  else
    echo "$1: all passed"
  fi
  exit 0
}
