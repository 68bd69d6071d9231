#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (as root, or through sudo).
set -euo pipefail
# Configurator.exe is a 32-bit program: Wine runs it with its i386 part (wine32), which needs
# the i386 architecture. The package wine gives the wine, wineserver and wineboot commands.
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine64 wine32:i386 xvfb x11-utils xauth imagemagick
  libhivex-dev libhivex-bin libwin-hivex-perl libregf-utils ntfs-3g chntpw libncurses-dev tmux clang clang-format
  libclang-rt-14-dev ccache python3 lintian man-db dpkg-dev unzip)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
foreign=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  foreign=yes
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ -z "$foreign" ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
