#!/usr/bin/env bash
# Makes the README's pictures from what the tests leave behind: the Wine tests' screenshots of
# Configurator.exe (build/artifacts) and the terminal end-to-end test's screen captures
# (build/posix/artifacts). Run the tests first, then this, after any change to the dialogs:
#   bash scripts/wine-tests.sh windows && ctest --preset posix -R terminal_e2e
#   bash scripts/make-pictures.sh            (writes docs/images/*.png)
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
wine_shots=${WINE_ARTIFACTS:-$tree/build/artifacts}
terminal_shots=${TERMINAL_ARTIFACTS:-$tree/build/posix/artifacts}
out=$tree/docs/images
mkdir -p "$out"

need() {
  [ -s "$1" ] || {
    echo "make-pictures: $1 is missing: $2 makes it" >&2
    exit 1
  }
}
need "$wine_shots/main-adapter.png" "scripts/wine-tests.sh windows"
need "$wine_shots/general.png" "scripts/wine-tests.sh windows"
need "$terminal_shots/e2e-main.txt" "ctest --preset posix -R terminal_e2e"
need "$terminal_shots/e2e-general.txt" "ctest --preset posix -R terminal_e2e"

# The screenshots as they are, without the metadata that would change them on every run.
convert "$wine_shots/main-adapter.png" -strip "$out/windows-main.png"
convert "$wine_shots/general.png" -strip "$out/windows-general.png"

# A terminal screen drawn as a console shows it: light grey on black, in a monospace font. The
# test's temporary home becomes the usual one; spaces become no-break spaces, which keep their
# width where ImageMagick would trim a line's leading ones.
terminal_picture() {
  local text
  text=$(sed -E 's#/tmp/[^ ]*/home/#~/#; s/ /\xc2\xa0/g' "$1")
  convert -size 1600x1000 xc:black -fill '#d0d0d0' -font DejaVu-Sans-Mono -pointsize 14 -interline-spacing -1 \
    -annotate +8+18 "$text" -trim +repage -bordercolor black -border 10 -depth 8 -strip "$2"
}
terminal_picture "$terminal_shots/e2e-main.txt" "$out/terminal-main.png"
terminal_picture "$terminal_shots/e2e-general.txt" "$out/terminal-general.png"
for picture in windows-main windows-general terminal-main terminal-general; do
  echo "make-pictures: docs/images/$picture.png"
done
