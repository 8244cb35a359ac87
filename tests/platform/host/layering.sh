#!/usr/bin/env bash
# The hosts stay below the seam. A host is built with VADURER_HOST, and then every stand-in header
# (and platform/win32.h, which includes them) stops the build; and no file under platform/host/
# but the process entry (platform/host/main.cpp) includes one at all.
#   tests/platform/host/layering.sh SOURCE_DIR COMPILER
set -u
src=$1 cxx=$2
failures=0
for h in "$src"/platform/standin/*.h "$src/platform/win32.h"; do
  name=${h#"$src/"}
  out=$(printf '#include "%s"\n' "$name" | "$cxx" -std=c++17 -DVADURER_HOST -I"$src" -fsyntax-only -x c++ - 2>&1)
  if ! grep -q "reaches the stand-in only through platform/host/host.h" <<<"$out"; then
    echo "FAILED: a host that includes $name builds"
    failures=$((failures + 1))
  fi
done
# A host's own headers build as a host does.
for h in "$src"/platform/host/*.h "$src"/platform/host/*/*.h; do
  name=${h#"$src/"}
  case $name in platform/host/web/*) continue ;; esac  # emscripten's headers
  if ! printf '#include "%s"\n' "$name" | "$cxx" -std=c++17 -DVADURER_HOST -I"$src" -fsyntax-only -x c++ - 2>/dev/null; then
    echo "FAILED: $name does not build as a host"
    failures=$((failures + 1))
  fi
done
while read -r f; do
  [ "$f" = platform/host/main.cpp ] && continue
  echo "FAILED: $f includes a stand-in header"
  failures=$((failures + 1))
done < <(cd "$src" && grep -rlE '#include "(platform/)?(standin/|win32\.h)' platform/host)
[ "$failures" = 0 ] || exit 1
echo "the hosts stay below the seam"
