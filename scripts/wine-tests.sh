#!/usr/bin/env bash
# Runs the Windows tests of build/windows under Wine: one fresh prefix per run, a virtual X
# display, and one wine server kept alive for the whole run (volatile registry keys that a test
# seeds live only as long as their server). Screenshots of the dialogs land in build/artifacts;
# Wine's logs, and the DirectDraw trace of the Configurator.exe processes that the end-to-end
# tests read, in build/windows/wine-logs. Needs no input; every step has a time limit (each test
# program has its own in tests/win32/CMakeLists.txt), and the display and the server are shut
# down whatever happens.
#
# Usage: scripts/wine-tests.sh [PRESET [CTEST-ARGUMENTS...]]. PRESET is windows (the shipped 32-bit build, run by Wine's
# 32-bit loader: the default) or windows-x64 (the same source built for 64-bit x86, run by Wine's
# 64-bit loader alone, for machines whose kernel refuses 32-bit programs). Further arguments go
# to ctest, e.g. -R win32_launcher_tests to run one test program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
preset=${1:-windows}
shift $(($# > 0 ? 1 : 0))
case "$preset" in
  windows) loader=/usr/lib/wine/wine ;;
  windows-x64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-tests: unknown preset $preset (windows or windows-x64)" >&2; exit 2 ;;
esac
build=$root/build/$preset
artifacts=$root/build/artifacts
logs=$build/wine-logs

if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "wine-tests: $build is not built; run: cmake --preset $preset && cmake --build --preset $preset" >&2
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
# The loader that runs the programs under test; the wine script would pick the 32-bit one whenever
# it is installed, even where the kernel cannot run it.
export WINELOADER=$loader

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
  echo "wine-tests: Xvfb did not start; the end of $logs/xvfb.log:" >&2
  tail -n 20 "$logs/xvfb.log" >&2 || true
  exit 1
fi
export DISPLAY=:$(head -n1 "$display_file")
timeout 10 bash -c 'until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done'

# A persistent server first, then the prefix. Wine's helper processes (services, devices, the
# desktop) are started here with their output going to a file: they inherit the standard handles
# of the Wine process that starts them, and must not hold a test runner's pipe open.
# A step that fails says which, and shows the end of its log on the terminal.
failed() {
  echo "wine-tests: $1 failed (status $2); the end of $3:" >&2
  tail -n 20 "$3" >&2 || true
  exit "$2"
}
timeout 20 wineserver -p
timeout 180 "$loader" wineboot --init >"$logs/wineboot.log" 2>&1 || failed "wineboot with $loader" $? "$logs/wineboot.log"
# No window manager runs on the virtual display: let Wine draw captions and frames itself, so
# that the screenshots show the dialogs whole.
timeout 60 "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$logs/wineboot.log" 2>&1 ||
  failed "reg add" $? "$logs/wineboot.log"
echo "wine-tests: $preset build, loader $loader, prefix ready on display $DISPLAY after $(($(date +%s) - start)) s"

status=0
timeout 900 ctest --preset "$preset" --timeout 300 "$@" || status=$?

# The tests save screenshots as bitmaps; keep them as PNG for people to look at.
for bitmap in "$artifacts"/*.bmp; do
  [ -e "$bitmap" ] || continue
  convert "$bitmap" "${bitmap%.bmp}.png" && rm -f "$bitmap"
done
ls "$artifacts"/*.png 2>/dev/null | sed 's/^/wine-tests: screenshot /' || true

echo "wine-tests: finished in $(($(date +%s) - start)) s"
exit "$status"
