#!/usr/bin/env bash
# Runs the terminal program: installs what the build needs, builds the posix preset's
# configurator and runs it with the given arguments. With none it works on its demo data (a
# SYSTEM hive and a simulated board), made in ~/.local/share/configurator on first run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
jobs=${CONFIGURATOR_JOBS:-$(nproc)}
cmake --preset posix >/dev/null
# Quiet unless the build fails, so that the program's own output (--help) stands alone.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "Building configurator..." >&2
if ! cmake --build --preset posix --target configurator -j "$jobs" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
rm -f "$log"
for program in build/posix/configurator build/posix/programs/configurator; do
  [ -x "$program" ] && exec "$program" "$@"
done
echo "run.sh: the build made no configurator program" >&2
exit 1
