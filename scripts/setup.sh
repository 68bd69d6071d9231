#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (as root, or through sudo).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 xvfb x11-utils xauth imagemagick
  libhivex-dev libhivex-bin libregf-utils ntfs-3g libncurses-dev tmux clang clang-format libclang-rt-14-dev ccache)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
