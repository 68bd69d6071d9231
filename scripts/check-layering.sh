#!/usr/bin/env bash
# <windows.h> belongs to the Win32 layer and Windows-only tests; the program's folders build
# unchanged for both targets, so they hold no platform conditionals.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=$(grep -rlE '#[[:space:]]*include[[:space:]]*<windows\.h>' --include='*.h' --include='*.cpp' . \
  | grep -vE '^\./(framework/win32|platform/win32|tests/win32|build)/' || true)
if [ -n "$bad" ]; then echo "<windows.h> outside the Win32 layer:"; echo "$bad"; exit 1; fi
bad=$(grep -rlE '#[[:space:]]*(if|ifdef|ifndef|elif).*_WIN32' app mainwnd settings dialogs 2>/dev/null || true)
if [ -n "$bad" ]; then echo "Platform conditionals in the program's folders:"; echo "$bad"; exit 1; fi
echo "layering ok"
