#!/usr/bin/env bash
# Runs the Windows tests of build/windows under Wine: one fresh prefix per run, a virtual X
# display, and one wine server kept alive for the whole run (volatile registry keys that a test
# seeds live only as long as their server). Screenshots of the dialogs land in build/artifacts;
# Wine's logs, and the DirectDraw trace of the Configurator.exe processes that the end-to-end
# tests read, in build/windows/wine-logs. Needs no input; every step has a time limit (each test
# program has its own in tests/win32/CMakeLists.txt), and the display and the server are shut
# down whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows
artifacts=$root/build/artifacts
logs=$build/wine-logs

if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "wine-tests: $build is not built; run: cmake --preset windows && cmake --build --preset windows" >&2
  exit 1
fi

start=$(date +%s)
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A 64-bit prefix: its WoW64 part (wine32) runs the 32-bit programs under test.
export WINEARCH=win64
# Where the tests put their screenshots (as Windows sees it: Wine's Z: drive is the Unix root).
export CONFIGURATOR_ARTIFACTS="Z:${artifacts//\//\\}"
unset WINESERVER

rm -rf "$WINEPREFIX" "$logs"
mkdir -p "$WINEPREFIX" "$artifacts" "$logs"
rm -f "$artifacts"/*.png "$artifacts"/*.bmp

xvfb_pid=""
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  exit "$status"
}
trap cleanup EXIT INT TERM

# Xvfb picks a free display itself and writes its number to the given descriptor.
display_file=$logs/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$logs/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
if [ ! -s "$display_file" ]; then
  echo "wine-tests: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(head -n1 "$display_file")
timeout 10 bash -c 'until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done'

# A persistent server first, then the prefix. Wine's helper processes (services, devices, the
# desktop) are started here with their output going to a file: they inherit the standard handles
# of the Wine process that starts them, and must not hold a test runner's pipe open.
timeout 20 wineserver -p
timeout 180 wine wineboot --init >"$logs/wineboot.log" 2>&1
# No window manager runs on the virtual display: let Wine draw captions and frames itself, so
# that the screenshots show the dialogs whole.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$logs/wineboot.log" 2>&1
echo "wine-tests: prefix ready on display $DISPLAY after $(($(date +%s) - start)) s"

status=0
timeout 600 ctest --preset windows --timeout 300 || status=$?

# The tests save screenshots as bitmaps; keep them as PNG for people to look at.
for bitmap in "$artifacts"/*.bmp; do
  [ -e "$bitmap" ] || continue
  convert "$bitmap" "${bitmap%.bmp}.png" && rm -f "$bitmap"
done
ls "$artifacts"/*.png 2>/dev/null | sed 's/^/wine-tests: screenshot /' || true

echo "wine-tests: finished in $(($(date +%s) - start)) s"
exit "$status"
