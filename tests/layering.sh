#!/usr/bin/env bash
# The layers point one way (ARCHITECTURE.md).
# The system: each folder named in cmake/layers.txt includes its own files, the folders its line
# names, platform/win32.h and platform/clock.h, and the standard library (and the processor's
# intrinsics), nothing else.
# The platform: nothing under platform/ includes anything of the system, but the process entry
# (platform/host/main.cpp), which is above everything.
# The hosts stay below the seam: a host is built with VADURER_HOST, and then every stand-in header
# (and platform/win32.h, which includes them) stops the build; the headers under platform/host/
# build as a host does; and no file under platform/host/ but the process entry includes one.
#   tests/layering.sh SOURCE_DIR COMPILER
set -u
src=$1 cxx=$2
cd "$src" || exit 1
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# FILE:INCLUDED for each #include "..." (or <...> with angle) in the files given.
includes() {
  local open='"' close='"'
  [ "$1" = angle ] && open='<' close='>'
  shift
  [ $# -gt 0 ] || return 0
  grep -HE "^[[:space:]]*#[[:space:]]*include[[:space:]]*$open" "$@" |
    sed -E "s/^([^:]*):[[:space:]]*#[[:space:]]*include[[:space:]]*$open([^$close]*)$close.*/\\1:\\2/"
}

declare -A uses=()
system=()
while read -r folder rest; do
  case $folder in '' | '#'*) continue ;; esac
  system+=("$folder")
  uses[$folder]=" $folder $rest "
done <cmake/layers.txt
[ ${#system[@]} -gt 0 ] || fail "cmake/layers.txt names no folder"

for folder in "${system[@]}"; do
  files=("$folder"/*.cpp "$folder"/*.h)
  files=("${files[@]/*\**/}")  # a pattern that matched nothing
  mapfile -t files < <(printf '%s\n' "${files[@]}" | sed '/^$/d')
  while IFS=: read -r file inc; do
    case $inc in
      platform/win32.h | platform/clock.h) continue ;;
      */*) [[ ${uses[$folder]} == *" ${inc%%/*} "* ]] && continue ;;
      *) continue ;;  # beside the file itself
    esac
    used=$(xargs <<<"${uses[$folder]/ $folder / }")
    fail "$file includes \"$inc\": $folder uses ${used:-no other folder} and the platform's two headers (cmake/layers.txt)"
  done < <(includes quote "${files[@]}")
  while IFS=: read -r file inc; do
    [[ $inc =~ ^[a-z_]+$ || $inc =~ ^[a-z0-9]*intrin\.h$ ]] && continue
    fail "$file includes <$inc>: the system reaches the platform through platform/win32.h alone"
  done < <(includes angle "${files[@]}")
done

while IFS=: read -r file inc; do
  [ "$file" = platform/host/main.cpp ] && continue
  [[ $inc == */* && " ${system[*]} " == *" ${inc%%/*} "* ]] || continue
  fail "$file includes \"$inc\": the platform reaches up into the system"
done < <(includes quote $(find platform -name '*.cpp' -o -name '*.h' | sort))

# Under VADURER_HOST every stand-in header stops the preprocessor; every host header passes it
# alone (the page's need emscripten's), and all of them build together.
for h in platform/standin/*.h platform/win32.h; do
  out=$(printf '#include "%s"\n' "$h" | "$cxx" -std=c++17 -DVADURER_HOST -I. -E -x c++ - 2>&1 >/dev/null)
  grep -q "reaches the stand-in only through platform/host/host.h" <<<"$out" || fail "a host that includes $h builds"
done
mapfile -t host_headers < <(ls platform/host/*.h platform/host/*/*.h | grep -v '^platform/host/web/')
for h in "${host_headers[@]}"; do
  printf '#include "%s"\n' "$h" | "$cxx" -std=c++17 -DVADURER_HOST -I. -E -x c++ - >/dev/null 2>&1 ||
    fail "$h does not build as a host"
done
printf '#include "%s"\n' "${host_headers[@]}" | "$cxx" -std=c++17 -DVADURER_HOST -I. -fsyntax-only -x c++ - ||
  fail "the host headers do not build together as a host"

while read -r f; do
  [ "$f" = platform/host/main.cpp ] && continue
  fail "$f includes a stand-in header"
done < <(grep -rlE '#include "(platform/)?(standin/|win32\.h)' platform/host)

[ "$failures" = 0 ] || exit 1
echo "the layers point one way: ${#system[@]} system folders as cmake/layers.txt says, the platform below them, the hosts below the seam"
