#!/usr/bin/env bash
# Builds the packages a user installs and checks them as that user gets them:
# - the Debian package: lintian finds no error or warning, its copyright file grants the MIT
#   (Expat) licence; apt installs it with its dependencies; the
#   installed program answers --version, --help and --list-adapters on a fresh HOME, and man finds
#   its page; then the package is removed again;
# - the Windows zip: Configurator.exe (its version block names the package's version), the console
#   program when it is built, and README.txt and LICENSE.txt with Windows line ends;
# - the rescue tarballs, by scripts/rescue-tarball-tests.sh.
# Needs the posix and windows presets configured (scripts/test.sh does that first).
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "package-tests: $*" >&2; exit 1; }

rm -f build/posix/configurator_*.deb build/windows/Configurator-*.zip
cmake --build --preset posix --target package >/dev/null
cmake --build --preset windows --target package >/dev/null
deb=$(ls build/posix/configurator_*_amd64.deb)
zip=$(ls build/windows/Configurator-*-x86.zip)
version=$(dpkg-deb -f "$deb" Version)
echo "package-tests: $deb and $zip, version $version"

# The hive engine is our own: neither the program nor the package needs libhivex.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends != *hivex* ]] || fail "the package depends on libhivex: $depends"
! ldd build/posix/programs/configurator | grep hivex >/dev/null || fail "the program links libhivex"

# Debian's own checks: errors and warnings fail the run.
lintian --allow-root --fail-on error,warning "$deb"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/configurator/copyright | grep -x 'License: Expat' >/dev/null ||
  fail "the copyright file does not name the Expat licence"
[ "$(zcat < <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/configurator/changelog.gz) |
     head -1)" = "configurator ($version) unstable; urgency=medium" ] ||
  fail "the changelog's latest entry is not version $version"

# Install as a user would: apt resolves the dependencies the package declares.
remove() { DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq configurator >/dev/null 2>&1 || true; }
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null
home=$(mktemp -d)
run() { env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
[ "$(run configurator --version)" = "configurator $version" ] || fail "--version does not say $version"
# Into a file: grep -q would stop reading early and the program's next write would fail.
run configurator --help >"$home/help.txt" || fail "--help failed"
grep -q -- '--hive' "$home/help.txt" || fail "--help does not describe --hive"
[ "$(run man -w configurator)" = /usr/share/man/man1/configurator.1.gz ] || fail "man does not find the page"
run man configurator 2>"$home/man-warnings.txt" >/dev/null || fail "man cannot show the page"
[ ! -s "$home/man-warnings.txt" ] || fail "man warns about the page: $(cat "$home/man-warnings.txt")"
run configurator --list-adapters >"$home/adapters.txt" 2>/dev/null || fail "--list-adapters failed"
grep -q '&&&' "$home/adapters.txt" || fail "--list-adapters shows no adapter of the demo"
[ -f "$home/.local/share/configurator/SYSTEM" ] || fail "no demo hive in the fresh HOME"
rm -rf "$home"
remove
trap - EXIT
command -v configurator >/dev/null && fail "the package left the program behind"

# The zip: one folder named after it, holding what a Windows user needs.
folder=$(basename "$zip" .zip)
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="$folder/Configurator.exe $folder/LICENSE.txt $folder/README.txt "
[ -f build/windows/programs/Configurator.com ] && expected="$folder/Configurator.com $expected"
[ "$names" = "$expected" ] || fail "the zip holds: $names; expected: $expected"
for text in README.txt LICENSE.txt; do
  unzip -p "$zip" "$folder/$text" | sed -n 1p | grep $'\r$' >/dev/null || fail "$text has no Windows line ends"
done
unzip -p "$zip" "$folder/LICENSE.txt" | grep "Copyright (c) 2026 the Configurator authors" >/dev/null ||
  fail "LICENSE.txt does not hold the licence"
exe_version=$(unzip -p "$zip" "$folder/Configurator.exe" | python3 -c '
import struct, sys
image = sys.stdin.buffer.read()
at = image.find(struct.pack("<I", 0xFEEF04BD))  # the version block'"'"'s fixed part
ms, ls = struct.unpack_from("<II", image, at + 8)
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")')
[ "$exe_version" = "$version" ] || fail "Configurator.exe says version $exe_version, the package $version"
[ "$folder" = "Configurator-$version-x86" ] || fail "the zip is named $folder"

bash scripts/rescue-tarball-tests.sh "$version"
echo "package-tests: passed"
