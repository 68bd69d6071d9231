#!/usr/bin/env bash
# Runs the terminal program: installs what the build needs, builds the posix preset's
# configurator and runs it with the given arguments. With none it works on its demo data (a
# SYSTEM hive and a simulated board), made in ~/.local/share/configurator on first run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=${CONFIGURATOR_JOBS:-$(nproc)}
cmake --preset posix >/dev/null
if ! ninja -C build/posix -t targets all 2>/dev/null | grep -q '^configurator:'; then
  echo "run.sh: this tree has no POSIX entry point yet (programs/posix/), so there is no" >&2
  echo "configurator program to run. The terminal dialogs can be seen in the text captures" >&2
  echo "that 'ctest --preset posix -R terminal_tests' writes to build/posix/artifacts/." >&2
  exit 1
fi
cmake --build --preset posix --target configurator -j "$jobs"
for program in build/posix/configurator build/posix/programs/configurator; do
  [ -x "$program" ] && exec "$program" "$@"
done
echo "run.sh: the build made no configurator program" >&2
exit 1
