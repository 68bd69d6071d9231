#!/usr/bin/env bash
# Builds both programs and runs every test: native, sanitizers, and the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

echo "== set-up audit: every command the scripts call comes from a fresh machine or setup.sh"
audit=../shared/tools/setup-audit
[ -x "$audit" ] || audit=tools/setup-audit/setup-audit
bash "$audit" .

echo "== layering and format checks"
bash scripts/check-layering.sh
{ git ls-files '*.cpp' '*.h' 2>/dev/null ||
  find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print; } | xargs clang-format --dry-run -Werror
echo "format ok"

echo "== native build and tests"
cmake --preset posix >/dev/null
cmake --build --preset posix -j "$jobs"
ctest --preset posix -j "$jobs"

echo "== sanitizer build and tests"
cmake --preset posix-asan >/dev/null
cmake --build --preset posix-asan -j "$jobs"
ctest --preset posix-asan -j "$jobs"

echo "== Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
bash scripts/wine-tests.sh

echo "== packages: the Debian package installed and removed, the Windows zip"
bash scripts/package-tests.sh
echo "== all tests passed"
