#!/usr/bin/env bash
# The tree's own rules, checked in seconds: format, which layer may include which, platform code
# only where it belongs, member names, commit subjects, the version written once, pipelines in
# scripts, and scripts that the documents name. scripts/test.sh runs it; the before-commit hook
# (scripts/git-hooks/pre-commit) runs it with --staged.
#   scripts/check.sh            every check, the format of every source
#   scripts/check.sh --staged   every check, the format of the sources staged for the commit only
# A check whose tool is not installed does not run: it is named on a "skipped:" line and in the
# last line, and does not fail the run (scripts/test.sh installs every tool first).
set -uo pipefail
cd "$(dirname "$0")/.."
failed=0
skipped=()
fail() {
  echo "check: $1" >&2
  failed=1
}
skip() {
  echo "skipped: $1"
  skipped+=("${1%% (*}")
}
staged=0
case "${1:-}" in
  "") ;;
  --staged) staged=1 ;;
  *) echo "check.sh: unknown option $1 (--staged or nothing)" >&2; exit 2 ;;
esac
in_git=0
git rev-parse --is-inside-work-tree >/dev/null 2>&1 && in_git=1

# Tracked sources; outside a git clone, the files on disk without the build trees.
sources() {
  if [ $in_git = 1 ]; then
    git ls-files -- '*.cpp' '*.h'
  else
    find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's#^\./##'
  fi
}

# --- format ---------------------------------------------------------------------------------
# One clang-format run; the files it would change are read from its warnings ("FILE:LINE:COL:
# warning: ..."). Should it fail without naming a file (a .clang-format it cannot read), its own
# words are shown instead.
if ! command -v clang-format >/dev/null; then
  skip "format (clang-format is not installed; bash scripts/setup.sh test installs it)"
else
  if [ $staged = 1 ]; then
    mapfile -t formatted < <(git diff --cached --name-only --diff-filter=ACMR -- '*.cpp' '*.h')
  else
    mapfile -t formatted < <(sources)
  fi
  if [ ${#formatted[@]} -gt 0 ]; then
    report=$(printf '%s\0' "${formatted[@]}" | xargs -0 clang-format --dry-run -Werror 2>&1)
    status=$?
    if [ $status -ne 0 ] || [ -n "$report" ]; then
      files=$(sed -nE 's/^(.+\.(cpp|h)):[0-9]+:[0-9]+: (warning|error): .*/\1/p' <<<"$report" | sort -u)
      if [ -n "$files" ]; then
        fail "clang-format would change these files (run clang-format -i on them):"
        sed 's/^/  /' <<<"$files" >&2
      else
        fail "clang-format failed (status $status) without naming a file:"
        sed 's/^/  /' <<<"$report" >&2
      fi
    fi
  fi
fi

# --- include direction ----------------------------------------------------------------------
# A folder's files may include the tree's headers of these folders only (the deepest folder that
# matches a file decides). Headers beside the including file and generated headers (no folder) are
# always allowed. Tests may include anything.
declare -A may_include=(
  [base]="base"
  [base/posix]="base base/posix"
  [hive]="base hive"
  [hive/posix]="base base/posix hive hive/posix"
  [platform]="base platform"
  [platform/win32]="base platform platform/win32"
  [platform/posix]="base base/posix hive hive/posix platform platform/posix"
  [framework]="base framework"
  [framework/win32]="base framework framework/win32"
  [framework/portable]="base framework framework/portable res"
  [framework/portable/terminal]="base framework framework/portable framework/portable/terminal res"
  [settings]="base framework platform res settings"
  [dialogs]="base framework platform res settings dialogs"
  [mainwnd]="base framework platform res settings dialogs mainwnd"
  [app]="base framework platform res settings dialogs mainwnd app"
  [programs/win32]="base framework framework/win32 platform platform/win32 res settings dialogs mainwnd app"
  [programs/posix]="base base/posix hive hive/posix framework framework/portable framework/portable/terminal platform platform/posix res
                    settings dialogs mainwnd app programs/posix"
)
# One pass over every source for the rules below; each line it prints is a failure.
#   Includes: the folder of the table that holds a path is the longest key that is a prefix of it.
#   The program's folders and the seam's interfaces build unchanged for both targets: the standard
#   library only (no <x.h> system header), and no platform conditionals.
#   <windows.h> belongs to the Win32 layers, the Windows entry points and the Windows-only tests.
#   The hive engine is used from outside hive/ (and tests/) through its one public header.
table=$(for key in "${!may_include[@]}"; do echo "$key="${may_include[$key]}; done)
while IFS= read -r problem; do
  fail "$problem"
done < <(sources | tr '\n' '\0' | xargs -0 awk -v table="$table" '
  function layer_of(path,   key, best) {
    best = ""
    for (key in allowed)
      if (index(path, key "/") == 1 && length(key) > length(best)) best = key
    return best
  }
  function portable(path) {
    if (path ~ /^(base|hive)\/[^\/]+\//) return 0
    if (path ~ /^(base|hive|app|mainwnd|settings|dialogs)\//) return 1
    if (path ~ /^(platform|framework)\/[^\/]+\//) return 0
    return path ~ /^(platform|framework)\//
  }
  BEGIN {
    n = split(table, rows, "\n")
    for (i = 1; i <= n; i++) {
      at = index(rows[i], "=")
      allowed[substr(rows[i], 1, at - 1)] = " " substr(rows[i], at + 1) " "
    }
  }
  FNR == 1 {
    layer = layer_of(FILENAME)
    is_portable = portable(FILENAME)
    windows_ok = FILENAME ~ /^(framework\/win32|platform\/win32|programs\/win32|tests\/win32)\//
    said_header = said_conditional = said_windows = 0
  }
  !/^[[:space:]]*#/ { next }
  /^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"/ && layer != "" {
    included = $0
    sub(/^[[:space:]]*#[[:space:]]*include[[:space:]]*"/, "", included)
    included = substr(included, 1, index(included, "\"") - 1)
    if (included ~ /\//) {
      target = layer_of(included)
      if (target == "") target = substr(included, 1, index(included, "/") - 1)
      if (included ~ /^hive\// && included != "hive/posix/Hive.h" && FILENAME !~ /^(hive|tests)\//)
        printf "%s includes \"%s\": outside hive/, include only \"hive/posix/Hive.h\"\n", FILENAME, included
      if (index(allowed[layer], " " target " ") == 0) {
        list = allowed[layer]
        gsub(/^ +| +$/, "", list)
        printf "%s includes \"%s\": %s/ may include only %s\n", FILENAME, included, layer, list
      }
    }
  }
  is_portable && !said_header && /^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>]+\.h>/ {
    print FILENAME " includes a system header; only the standard library belongs there"
    said_header = 1
  }
  is_portable && !said_conditional && /^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif).*(_WIN32|__linux__|__unix__|_MSC_VER)/ {
    print FILENAME " has a platform conditional; choose the implementation in the build instead"
    said_conditional = 1
  }
  !windows_ok && !said_windows && /^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>/ {
    print FILENAME " includes <windows.h> outside the Win32 layers"
    said_windows = 1
  }
')

# --- commit subjects ------------------------------------------------------------------------
# At most 72 characters, since the commit that added the subject hook. One longer subject landed
# before the hook was turned on in every clone; it is listed so that the check can hold from here on.
hook_added=0580a98
known_long="0950ace"
if [ $in_git = 1 ] && git rev-parse --verify -q "$hook_added^{commit}" >/dev/null 2>&1; then
  while IFS=' ' read -r hash subject; do
    [ ${#subject} -le 72 ] && continue
    [[ " $known_long " == *" ${hash:0:7} "* ]] && continue
    fail "commit $hash has a subject of ${#subject} characters (at most 72): $subject"
  done < <(git log --format='%h %s' "$hook_added..HEAD")
elif [ $in_git = 1 ]; then
  skip "commit subjects (this clone lacks the history back to $hook_added)"
fi

# --- the version ----------------------------------------------------------------------------
# Written once, in project(VERSION) in CMakeLists.txt; everything else is generated from it. The
# Debian changelog is history written by hand: its latest entry names the same version.
version=$(sed -nE 's/^project\(Configurator VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  fail "CMakeLists.txt's project() sets no VERSION"
else
  latest=$(sed -nE '1s/^configurator \(([^)]*)\).*/\1/p' packaging/debian/changelog)
  [ "$latest" = "$version" ] ||
    fail "packaging/debian/changelog's latest entry is version '$latest', not the project's $version"
  if [ $in_git = 1 ]; then
    while IFS= read -r file; do
      fail "$file writes the version $version; take it from the build (Version.h, @PROJECT_VERSION@)"
    done < <(git grep -lIwF -e "$version" -e "${version//./,}" -e "${version//./, }" -- . \
      ':!CMakeLists.txt' ':!packaging/debian/changelog')
  fi
fi

# --- member names ---------------------------------------------------------------------------
# One style in every layer: a class's own data members are m_name. A trailing underscore was a
# second style; it is refused outside string literals and comments.
while IFS= read -r hit; do
  fail "member named with a trailing underscore (use m_name): $hit"
done < <(sources | xargs perl -ne 's{"(?:[^"\\]|\\.)*"}{""}g; s{//.*}{}; print "$ARGV:$.: $1\n" if /\b([a-z][A-Za-z0-9]*_)\b/; close ARGV if eof')

# --- documents name scripts that exist ------------------------------------------------------
while IFS= read -r named; do
  [ -e "$named" ] || fail "a document names $named, which does not exist"
done < <(grep -rhoE 'scripts/[A-Za-z0-9_-]+\.(sh|py)' README.md docs packaging 2>/dev/null | sort -u)

# --- shell pipelines ------------------------------------------------------------------------
# Under pipefail, a reader that stops early (grep -q, head) can kill the writer with SIGPIPE and
# turn a match into a failure, depending on timing. Let the reader read everything instead.
while IFS= read -r hit; do
  script=${hit%%:*} hit=${hit#*:}
  fail "$script:${hit%%:*} stops reading its pipe early under pipefail: ${hit#*:}"
done < <(if [ $in_git = 1 ]; then git ls-files -- '*.sh' .ci/run; else find scripts tests .ci -name '*.sh' -o -name run; fi |
  tr '\n' '\0' | xargs -0 grep -l pipefail | tr '\n' '\0' |
  xargs -0 -r grep -nHE '\|[[:space:]]*(grep[[:space:]]+-[A-Za-z]*q|head[[:space:]])')

if [ $failed = 0 ]; then
  if [ ${#skipped[@]} -eq 0 ]; then
    echo "checks ok"
  else
    echo "checks ok, but these did not run: $(printf '%s; ' "${skipped[@]}" | sed 's/; $//')"
  fi
fi
exit $failed
