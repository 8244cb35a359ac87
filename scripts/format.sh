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
differ=0
for f in "${files[@]}"; do
  if ! clang-format --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "format: $f is not formatted as .clang-format says (scripts/format.sh formats it)"
    differ=$((differ + 1))
  fi
done
[ "$differ" = 0 ] || { echo "format: $differ file(s) to format"; exit 1; }
echo "format: ${#files[@]} files as .clang-format says"
