#!/usr/bin/env bash
# The recorder end to end: the production rendered twice to video through ffmpeg, in the folder
# of its assets; ffprobe's view of the first file; the pictures and sounds a viewer gets
# (video_check); both renders decoded to the same frames and samples; the render's speed against
# the production's length (reported, not held against a limit); the second render replacing a file
# that was there (--force), with nothing left beside it; and ffmpeg failing two ways.
#   tests/e2e/video.sh OUT_DIR VADURER ASSETMAKER VIDEO_CHECK
set -u
out=$1 vadurer=$2 assetmaker=$3 check=$4
rm -rf "$out"
mkdir -p "$out/assets"
"$assetmaker" "$out/assets" >/dev/null || { echo "the assets could not be made"; exit 1; }
cd "$out/assets"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

printf 'an older video\n' >"$out/b.mp4"
for run in a b; do
  start=$(date +%s.%N)
  force=()
  [ "$run" = b ] && force=(--force)
  timeout 240 "$vadurer" --record "$out/$run.mp4" "${force[@]}" 2>"$out/$run.log"
  code=$?
  end=$(date +%s.%N)
  [ "$code" = 0 ] || { cat "$out/$run.log"; echo "FAILED: render $run exited with $code"; exit 1; }
  tail -1 "$out/$run.log"
  [ "$run" = a ] && secs=$(echo "$end - $start" | bc -l)
done

left=$(ls "$out" | grep unfinished)
[ -z "$left" ] || fail "files left beside the videos: $left"

duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/a.mp4")
video=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height,r_frame_rate -of csv=p=0 "$out/a.mp4")
audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 "$out/a.mp4")
echo "ffprobe: duration $duration s; video $video; audio $audio"
printf 'render: %.1f s for %.2f s of video: %.1fx real time\n' "$secs" "$duration" "$(echo "$duration / $secs" | bc -l)"
[ "$(echo "$duration >= 69.0 && $duration <= 69.5" | bc -l)" = 1 ] || fail "duration $duration s is not between 69.0 and 69.5 s"
[ "$video" = "h264,640,480,60/1" ] || fail "the video stream is $video, not H.264 640 x 480 at 60 fps"
[ "$audio" = "aac,48000,2" ] || fail "the audio stream is '$audio', not AAC stereo at 48 kHz"

"$check" "$out/a.mp4" "$out/assets" || fail "what the video shows and sounds like (above)"

# Every decoded frame and every decoded block of samples, by checksum.
ffmpeg -v error -i "$out/a.mp4" -map 0 -f framemd5 - >"$out/a.md5"
ffmpeg -v error -i "$out/b.mp4" -map 0 -f framemd5 - >"$out/b.md5"
if [ -s "$out/a.md5" ] && cmp -s "$out/a.md5" "$out/b.md5"; then
  echo "ok: two renders decode to the same $(grep -vc '^#' "$out/a.md5") frames and sample blocks"
else
  fail "two renders decode differently (see $out/a.md5 and $out/b.md5)"
fi

# ffmpeg failing: one line on standard error, a non-zero exit, and soon.
expect_one_line_failure() {
  local name=$1; shift
  timeout 60 "$@" 2>"$out/$name.log"
  local code=$?
  local lines
  lines=$(wc -l <"$out/$name.log")
  if [ "$code" = 0 ] || [ "$code" = 124 ] || [ "$lines" != 1 ]; then
    fail "$name: exit $code, $lines lines: $(cat "$out/$name.log")"
  else
    echo "ok: $name: exit $code: $(cat "$out/$name.log")"
  fi
}
expect_one_line_failure no-ffmpeg env PATH=/nonexistent "$vadurer" --record "$out/c.mp4"
expect_one_line_failure no-folder "$vadurer" --record "$out/no/such/folder/c.mp4"
# A folder where nothing can be made, whoever runs this (root may write where others may not).
expect_one_line_failure unwritable "$vadurer" --record /proc/vadurer-test.mp4

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all video checks passed"
