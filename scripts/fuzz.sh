#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time.
#   scripts/fuzz.sh BUILD_DIR     (FUZZ_SECONDS, default 60, per target)
set -eu
build=$1
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_FUZZ=ON \
  -DVADURER_SANITIZE=ON -DVADURER_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}"

le() {  # le NUMBER BYTES: the number in little-endian order
  local i
  for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $((($1 >> (8 * i)) & 255)))"; done
}

seed() {  # seed TARGET DIR: a few small well-formed inputs for the fuzzer to start from
  case $1 in
    fuzz_image_load)
      convert -size 3x5 gradient:yellow-navy +dither -remap netscape: -compress none "BMP3:$2/v3_3x5.bmp"
      convert -size 3x5 gradient:yellow-navy +dither -remap netscape: -compress none "BMP:$2/v5_3x5.bmp"
      convert -seed 3 -size 33x5 plasma:fractal +dither -colors 40 -compress RLE "BMP3:$2/rle8.bmp"
      convert -seed 3 -size 9x3 plasma:fractal +dither -colors 8 -compress none "BMP3:$2/4bit.bmp"
      convert -size 3x2 xc:red -type TrueColor "BMP3:$2/24bit.bmp"
      # ImageMagick writes rows bottom-up only; a 2 x 2 picture stored top row first.
      { printf BM; le 1086 4; le 0 4; le 1078 4; le 40 4; le 2 4; le -2 4; le 1 2; le 8 2
        le 0 24; head -c 1024 /dev/zero; printf '\x01\x02\x00\x00\x03\x04\x00\x00'; } >"$2/top_down.bmp"
      ;;
    fuzz_wave_load | fuzz_wave_pieces)
      # The pieces target takes its piece size from the first two bytes.
      local prefix=""
      [ "$1" = fuzz_wave_pieces ] && prefix='\x01\x10'
      local made="$2/made"
      mkdir -p "$made"
      sox -n -r 8000 -c 1 -b 8 -e unsigned-integer "$made/u8.wav" synth 0.01 sine 440
      sox -n -r 22050 -c 2 -b 16 -e signed-integer "$made/s16.wav" synth 0.01 sine 300
      sox -n -r 32000 -c 2 -b 24 -e signed-integer "$made/ext.wav" synth 0.005 sine 250
      ffmpeg -v error -y -f lavfi -i sine=f=330:d=0.01:r=11025 -metadata title=Seed -c:a pcm_s16le "$made/list.wav"
      for f in "$made"/*.wav; do { printf "$prefix"; cat "$f"; } >"$2/$(basename "$f")"; done
      rm -r "$made"
      ;;
    fuzz_image_raw)
      # First byte: which block comes next, bit by bit (0 picture, 1 palette).
      { printf '\x02'; le 3 4; le 2 4; le 8 4; le 256 4; printf 'abcdef'; le 4 4; le 8 4; printf 'ABCDEFGHIJKLMNOP'; } \
        >"$2/picture_palette.raw"
      { printf '\x01'; le 2 4; le 8 4; printf '12345678'; le 2 4; le 2 4; le 24 4; le 0 4; head -c 12 /dev/zero; } \
        >"$2/palette_picture24.raw"
      ;;
  esac
}

dictionary() {  # dictionary TARGET: the tokens its input format is made of, if there is a list
  case $1 in
    fuzz_wave_*) echo "-dict=$root/fuzz/wave.dict" ;;
  esac
}

status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  seeds="$build/seeds/$name"
  mkdir -p "$corpus" "$seeds"
  seed "$name" "$seeds"
  echo "== $name: $seconds s"
  # shellcheck disable=SC2046
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 $(dictionary "$name") -artifact_prefix="$build/" \
      "$corpus" "$seeds" \
      2>"$build/$name.log"; then
    echo "$name: found a fault, see $build/$name.log" >&2
    status=1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$build/$name.log" | tail -2
  grep -E '^#[0-9]+.*cov: ' "$build/$name.log" | tail -1
done
exit $status
