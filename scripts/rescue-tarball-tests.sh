#!/usr/bin/env bash
# The rescue tarballs (presets linux-i686 and linux-x86_64-static), built by their package target
# and checked as a user unpacks them: one folder with the program, its manual page, README.txt
# and LICENSE; the program statically linked, for the right machine and Linux 3.2. The i686 one
# starts under qemu's Pentium II and III models and dies under its 486 (the models are strict),
# and holds no instruction past i686 (tests/rescue/check-i686-code.sh, on the build's unstripped
# program, which the package strips). Both pass tests/rescue/rescue-tests.sh: the x86-64 one
# natively, the i686 one natively where the kernel runs 32-bit programs, and under qemu-i386
# -cpu pentium2 and pentium3 everywhere. It says how each ran; what could not run is printed as
# "skipped: ...". Run by scripts/package-tests.sh.
# Usage: rescue-tarball-tests.sh [VERSION] (default: the project's)
set -euo pipefail
cd "$(dirname "$0")/.."
version=${1:-$(sed -nE 's/^project\(Configurator VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)}
fail() { echo "rescue-tarball-tests: $*" >&2; exit 1; }
# The rescue tarballs, checked as a user unpacks them.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
cmake --build --preset posix --target hive_bench >/dev/null
export RESCUE_HIVE_GROWER=$PWD/build/posix/tests/hive/hive_bench
for preset in linux-i686 linux-x86_64-static; do
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  rm -f "build/$preset"/configurator-*-linux-*.tar.gz
  cmake --build --preset "$preset" --target package >/dev/null 2>"$unpacked/$preset.log" ||
    fail "the $preset package was not made: $(cat "$unpacked/$preset.log")"
done
for cpu in i686 x86_64; do
  preset=linux-$cpu
  [ "$cpu" = x86_64 ] && preset=linux-x86_64-static
  folder=configurator-$version-linux-$cpu
  tarball=build/$preset/$folder.tar.gz
  [ -f "$tarball" ] || fail "no $tarball"
  names=$(tar tzf "$tarball" | sort | tr '\n' ' ')
  expected="$folder/LICENSE $folder/README.txt $folder/configurator $folder/configurator.1 "
  [ "$names" = "$expected" ] || fail "$tarball holds: $names; expected: $expected"
  tar xzf "$tarball" -C "$unpacked"
  program=$unpacked/$folder/configurator
  kind=$(file -b "$program")
  machine="ELF 64-bit LSB executable, x86-64"
  [ "$cpu" = i686 ] && machine="ELF 32-bit LSB executable, Intel 80386"
  for want in "$machine" "statically linked" "for GNU/Linux 3.2.0"; do
    [[ "$kind" == *"$want"* ]] || fail "$folder/configurator is not '$want': $kind"
  done
  grep -F "Rescue from a live CD" "$unpacked/$folder/README.txt" >/dev/null || fail "$folder/README.txt has no rescue steps"
  grep -F "Copyright (c) 2026 the Configurator authors" "$unpacked/$folder/LICENSE" >/dev/null || fail "$folder/LICENSE"
  man -l "$unpacked/$folder/configurator.1" 2>"$unpacked/man.txt" >/dev/null && [ ! -s "$unpacked/man.txt" ] ||
    fail "man cannot show $folder/configurator.1: $(cat "$unpacked/man.txt")"
  if [ "$cpu" = x86_64 ]; then
    echo "rescue-tarball-tests: $folder: $kind"
    bash tests/rescue/rescue-tests.sh "$program"
    continue
  fi
  # Old processors, as qemu models them.
  for model in pentium2 pentium3; do
    [ "$(qemu-i386 -cpu "$model" "$program" --version)" = "configurator $version" ] ||
      fail "$folder/configurator does not start under qemu-i386 -cpu $model"
  done
  # In a shell of its own, whose report of the signal goes nowhere.
  status=0
  bash -c 'qemu-i386 -cpu 486 "$0" --version' "$program" >/dev/null 2>&1 || status=$?
  [ $status -eq 132 ] || fail "under qemu-i386 -cpu 486 the program ended with $status, not 132 (SIGILL)"
  bash tests/rescue/check-i686-code.sh "build/$preset/programs/configurator"
  if "$program" --version >/dev/null 2>&1; then
    echo "rescue-tarball-tests: $folder: $kind; this kernel runs 32-bit programs: natively and under qemu-i386 -cpu pentium2, pentium3"
    bash tests/rescue/rescue-tests.sh "$program"
  else
    echo "rescue-tarball-tests: $folder: $kind; this kernel refuses 32-bit programs: under qemu-i386 -cpu pentium2, pentium3 only"
    echo "skipped: the i686 program natively: this kernel refuses 32-bit programs (it ran under qemu-i386)"
  fi
  for model in pentium2 pentium3; do
    bash tests/rescue/rescue-tests.sh "$program" qemu-i386 -cpu "$model"
  done
done
echo "rescue-tarball-tests: passed"
