#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time.
#   scripts/fuzz.sh BUILD_DIR     (FUZZ_SECONDS, default 60, per target)
set -eu
build=$1
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_FUZZ=ON \
  -DVADURER_SANITIZE=ON -DVADURER_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}"
status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name: $seconds s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/" "$corpus" \
      2>"$build/$name.log"; then
    echo "$name: found a fault, see $build/$name.log" >&2
    status=1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$build/$name.log" | tail -2
done
exit $status
