#!/usr/bin/env bash
# Formats the tree's C++ as .clang-format says (clang-format 14, Debian's), or with --check only
# names each file whose formatting differs and fails if there is one.
#   scripts/format.sh [--check]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
check=no
[ "${1:-}" = --check ] && check=yes
command -v clang-format >/dev/null || { echo "format: clang-format is not installed (Debian's clang-format)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "$check" = no ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
# One clang-format for every file (a process a file took eight times as long); it names each
# place that differs, and each file is named once.
out=$(clang-format --style=file --dry-run -Werror "${files[@]}" 2>&1 >/dev/null)
status=$?
mapfile -t differ < <(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$out" | sort -u)
for f in "${differ[@]}"; do
  echo "format: $f is not formatted as .clang-format says (scripts/format.sh formats it)"
done
[ "${#differ[@]}" = 0 ] || { echo "format: ${#differ[@]} file(s) to format"; exit 1; }
[ "$status" = 0 ] || { echo "format: clang-format failed ($status): $out"; exit 1; }
echo "format: ${#files[@]} files as .clang-format says"
