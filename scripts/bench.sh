#!/usr/bin/env bash
# Builds the benchmarks (optimised, without the tests) and runs each from the build folder; the
# display's is measured on the SDL host, on a virtual X server of its own; then the whole
# production's figures and the page's.
#   scripts/bench.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
jobs=${JOBS:-2}
source "$root/scripts/xvfb.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVADURER_BENCH=ON -DVADURER_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs"
cmake --build "$build" -j"$jobs" --target vadurer assets
build=$(cd "$build" && pwd)
cd "$build"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  case "$b" in
    *display_bench) on_xvfb 1920x1080 env SDL_AUDIODRIVER=dummy "$b" ;;
    *) "$b" ;;
  esac
done
"$root/bench/production.sh" "$build"
# The page, built from this tree as make web builds it, and its figures in Chromium beside their aims.
JOBS=$jobs "$root/scripts/web.sh" "$build" "$build/web" >"$build/web-build.log" 2>&1 || { tail -30 "$build/web-build.log"; exit 1; }
node "$root/bench/page.mjs" "$build/web" "$build/web-stage/assets"
