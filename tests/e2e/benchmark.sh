#!/usr/bin/env bash
# vadurer --benchmark in the folder of the production's files: it ends with exit code 0 and prints
# its table, every tick of the whole production (4156 at 60 a second) and a row of frames for
# each scene. No figure is held against a limit here: bench/production.sh reports them.
#   tests/e2e/benchmark.sh ASSET_DIR VADURER
set -u
cd "$1" || exit 1
out=$("$2" --benchmark 2>&1)
code=$?
echo "$out"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
[ "$code" = 0 ] || fail "exit code $code"
echo "$out" | grep -qE -- '--benchmark: [0-9]+ frames \(4156 ticks' || fail "not the whole production's 4156 ticks"
for scene in "opening fade" "scene 1: the cube" "scene 1: the zoom" "scene 2: the band" "scene 3: the scroller" \
             "fade to black" "credits" "all"; do
  echo "$out" | grep -qE "^$scene +[1-9][0-9]* +[0-9.]+ +[0-9.]+ +[0-9.]+ +[0-9.]+$" || fail "no row for $scene"
done
[ "$failures" = 0 ] && echo "the benchmark ran and printed its table"
[ "$failures" = 0 ]
