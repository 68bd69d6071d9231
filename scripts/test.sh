#!/usr/bin/env bash
# Builds both programs and runs every test: native, sanitizers, and the Windows tests under Wine.
# On a machine whose kernel cannot run 32-bit programs, the Windows tests run on a 64-bit build of
# the same source under Wine's 64-bit loader; the checks of the shipped 32-bit image, which run
# nothing, always run on that image.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
step="set-up"
trap 'echo "== FAILED: $step (status $?); the lines above say why" >&2' ERR
# A check that did not run is no check that passed: every skip that a check or a test printed
# ("skipped: ..." from the scripts, the shell tests and the test programs, GoogleTest's skipped
# tests with their messages) is gathered from the logs (scripts/skipped-checks.sh) and named at
# the end, with what went unchecked.
logs=()
# The hives that Windows wrote: ../shared/testdata/hives beside the clone, or HIVE_REFERENCE_DIR
# (made absolute, as the tests run in their build folders).
if [ -n "${HIVE_REFERENCE_DIR:-}" ]; then
  HIVE_REFERENCE_DIR=$(realpath -m "$HIVE_REFERENCE_DIR")
  export HIVE_REFERENCE_DIR
fi

step="set-up"
bash scripts/setup.sh test

step="checks"
echo "== checks: format, layering, commit subjects, the version"
mkdir -p build
bash scripts/check.sh | tee build/check.log
logs+=(checks=build/check.log)

step="set-up audit"
echo "== set-up audit: every command the scripts call comes from a fresh machine or setup.sh"
audit=../shared/tools/setup-audit
[ -x "$audit" ] || audit=tools/setup-audit/setup-audit
bash "$audit" .

step="native build"
echo "== native build and tests"
cmake --preset posix >/dev/null
cmake --build --preset posix -j "$jobs"
step="native tests"
ctest --preset posix -j "$jobs"
logs+=(posix=build/posix)
step="the README's run command"
echo "== scripts/run.sh --version runs the program the posix preset built"
bash scripts/run.sh --version

step="sanitizer build"
echo "== sanitizer build and tests"
cmake --preset posix-asan >/dev/null
cmake --build --preset posix-asan -j "$jobs"
step="sanitizer tests"
ctest --preset posix-asan -j "$jobs"
logs+=(posix-asan=build/posix-asan)

step="fuzz targets build"
echo "== fuzz targets build (clang, libFuzzer; scripts/fuzz.sh runs them)"
bash scripts/fuzz.sh all 0

step="Windows build (32-bit x86, shipped)"
echo "== Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# Ask the kernel: Wine's 32-bit loader starts, or the kernel refuses it ("Exec format error").
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "== this machine runs 32-bit programs: the Windows tests run on the shipped 32-bit build"
  step="Windows tests under Wine (32-bit build)"
  bash scripts/wine-tests.sh windows
  logs+=(windows=build/windows)
else
  echo "== this machine cannot run 32-bit programs (its kernel refuses Wine's 32-bit loader): the"
  echo "== Windows tests run on a 64-bit build of the same source under Wine's 64-bit loader; the"
  echo "== shipped 32-bit image gets the checks that run nothing"
  step="checks of the shipped 32-bit image"
  ctest --preset windows -L image
  logs+=(windows=build/windows)
  step="set-up for the 64-bit Windows build"
  bash scripts/setup.sh windows-x64
  step="Windows build (64-bit x86, tests only)"
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64 -j "$jobs"
  step="Windows tests under Wine (64-bit build)"
  bash scripts/wine-tests.sh windows-x64
  logs+=(windows-x64=build/windows-x64)
fi

step="package checks"
echo "== packages: the Debian package installed and removed, the Windows zip, the rescue tarballs"
bash scripts/package-tests.sh | tee build/package-tests.log
logs+=(packages=build/package-tests.log)
step="summary"
summary=$(bash scripts/skipped-checks.sh "${logs[@]}")
if [ -z "$summary" ]; then
  echo "== all tests passed, and every check ran"
else
  echo "== every test that ran passed"
  echo "$summary"
fi
