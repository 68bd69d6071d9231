#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (as root, or through sudo), for one purpose:
#   scripts/setup.sh run          the terminal program only (scripts/run.sh)
#   scripts/setup.sh [test]       both programs and every test (scripts/test.sh; the default)
#   scripts/setup.sh windows-x64  the 64-bit cross compiler for the Windows tests on machines that
#                                 cannot run 32-bit programs (scripts/test.sh asks for it there)
set -euo pipefail
purpose=${1:-test}
# The terminal program: its build (windres compiles the dialogs' resources) and its libraries;
# libhivex only because configuring the tree configures its tests, which read hives with it.
run_packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev binutils-mingw-w64-i686
  libhivex-dev libncurses-dev ccache)
# Everything the tests use besides. Configurator.exe is a 32-bit program: Wine runs it with its
# i386 part (wine32), which needs the i386 architecture. The package wine gives the wine,
# wineserver and wineboot commands.
test_packages=("${run_packages[@]}" libbenchmark-dev g++-mingw-w64-i686 wine wine64 wine32:i386 xvfb
  x11-utils xauth imagemagick libhivex-bin libwin-hivex-perl libregf-utils ntfs-3g chntpw tmux clang clang-format
  libclang-rt-14-dev python3 lintian man-db dpkg-dev unzip
  # The rescue tarballs: static programs for i686 (gcc -m32 and the i386 architecture's
  # archives) and x86-64, run under qemu-user's old CPU models and checked with file and objdump.
  g++-multilib libncurses-dev:i386 qemu-user file time)
x64_packages=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
case "$purpose" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  windows-x64) packages=("${x64_packages[@]}") ;;
  *) echo "setup.sh: unknown purpose $purpose (run, test or windows-x64)" >&2; exit 2 ;;
esac
# In a clone, the tree's hooks: the checks before a commit, the subject's length on its message.
root=$(cd "$(dirname "$0")/.." && pwd)
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$root" config core.hooksPath scripts/git-hooks || echo "setup.sh: could not turn on the git hooks" >&2
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
foreign=""
if [ "$purpose" = test ] && ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
  $sudo dpkg --add-architecture i386
  foreign=yes
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ -z "$foreign" ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
