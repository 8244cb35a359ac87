#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time.
#   scripts/fuzz.sh BUILD_DIR     (FUZZ_SECONDS, default 60, per target)
set -eu
build=$1
seconds=${FUZZ_SECONDS:-60}
dict=$(cd "$(dirname "$0")/.." && pwd)/fuzz/wave.dict
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_FUZZ=ON \
  -DVADURER_SANITIZE=ON -DVADURER_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}"
# A new corpus starts from a few small, well-formed files, so the fuzzer begins past the header
# checks; the pieces target reads a 2-byte piece size in front of the file.
seed() {  # seed CORPUS TARGET
  [ -z "$(ls -A "$1")" ] || return 0
  local tmp i=0 line
  tmp=$(mktemp -d)
  while read -r line; do
    i=$((i + 1))
    sox -n $line "$tmp/$i.wav" synth 0.004 sine 440 2>/dev/null || continue
    if [ "$2" = fuzz_wave_pieces ]; then printf '\000\100' | cat - "$tmp/$i.wav" >"$1/seed$i"; else cp "$tmp/$i.wav" "$1/seed$i"; fi
  done <<'SEEDS'
-r 8000 -c 1 -b 8 -e unsigned-integer
-r 11025 -c 2 -b 16 -e signed-integer
-r 8000 -c 2 -b 24 -e signed-integer
SEEDS
  rm -rf "$tmp"
}

status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seed "$corpus" "$name"
  echo "== $name: $seconds s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -dict="$dict" -artifact_prefix="$build/" "$corpus" \
      2>"$build/$name.log"; then
    echo "$name: found a fault, see $build/$name.log" >&2
    status=1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs|DONE' "$build/$name.log" | tail -3
done
exit $status
