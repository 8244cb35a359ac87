#!/usr/bin/env bash
# The recorder's videos for video sites: the production rendered enlarged three times to H.264
# (1920 x 1440, High profile, 4:2:0, 60 frames a second, AAC at 48 kHz, the index at the front of
# the file), and at its own size to VP9 and Opus in a .webm file. ffprobe's view of each; the
# pictures and sounds a viewer gets (video_check, which also checks the enlarged pictures are
# square blocks); the renders' speed against the production's length (reported, not held against a
# limit). The two renders are tests of their own, run side by side; a third compares them: every
# third pixel of the enlarged pictures against the others.
#   tests/e2e/video_scaled.sh x3 OUT_DIR VADURER ASSETMAKER VIDEO_CHECK     OUT_DIR/x3.mp4
#   tests/e2e/video_scaled.sh webm OUT_DIR VADURER ASSETMAKER VIDEO_CHECK   OUT_DIR/x1.webm
#   tests/e2e/video_scaled.sh compare X3_MP4 X1_WEBM
set -u
mode=${1:-}
case $mode in
  x3 | webm | compare) shift ;;
  *) echo "usage: video_scaled.sh x3|webm OUT_DIR VADURER ASSETMAKER VIDEO_CHECK, or compare X3_MP4 X1_WEBM" >&2; exit 2 ;;
esac
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
finish() {
  [ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all checks passed"
  exit 0
}

# The same production at both sizes: every third pixel of the enlarged pictures (the middle of each
# block) against the other video's, picture by picture, over the first 20 s; each was coded with
# losses of its own. (The .webm file's pictures start 7 ms in: its muxer moves everything by the
# Opus coder's delay, so that the sound starts at 0.)
if [ "$mode" = compare ]; then
  x3=$1 x1=$2
  for f in "$x3" "$x1"; do
    [ -s "$f" ] || { echo "FAILED: there is no $f to compare (its render's test failed or has not run)"; exit 1; }
  done
  psnr=$(ffmpeg -v info -nostdin -t 20 -i "$x3" -t 20 -i "$x1" -lavfi \
    "[0:v]setpts=N/60/TB,crop=iw-1:ih-1:1:1:exact=1,scale=640:480:flags=neighbor[a];[1:v]setpts=N/60/TB[b];[a][b]psnr" \
    -f null - 2>&1 |
    sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p')
  echo "$(basename "$x3") every third pixel against $(basename "$x1"): PSNR ${psnr:-none} dB over 20 s"
  awk -v p="${psnr:-0}" 'BEGIN { exit !(p == "inf" || p + 0 >= 35) }' ||
    fail "the enlarged pictures are not those of the production at its own size (PSNR ${psnr:-none} dB)"
  finish
fi

out=$1 vadurer=$2 assetmaker=$3 check=$4
rm -rf "$out"
mkdir -p "$out/assets"
"$assetmaker" "$out/assets" >/dev/null || { echo "the assets could not be made"; exit 1; }
cd "$out/assets" || exit 1

# render FILE ARGS...: the whole production to FILE; its speed said.
render() {
  local file=$1; shift
  local start end code
  start=$(date +%s.%N)
  timeout 900 "$vadurer" --record "$out/$file" "$@" 2>"$out/$file.log"
  code=$?
  end=$(date +%s.%N)
  [ "$code" = 0 ] || { cat "$out/$file.log"; fail "the render of $file exited with $code"; return 1; }
  local length
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/$file")
  awk -v s="$start" -v e="$end" -v l="$length" -v f="$file" \
    'BEGIN { printf "render: %s, %.2f s of video in %.1f s: %.1fx real time\n", f, l, e - s, l / (e - s) }'
  awk -v l="$length" 'BEGIN { exit !(l >= 69.0 && l <= 69.5) }' || fail "$file lasts $length s, not 69.0 to 69.5 s"
}
probe() {  # probe FILE STREAM ENTRIES: ffprobe's values for the first stream of that kind
  ffprobe -v error -select_streams "$2:0" -show_entries "stream=$3" -of csv=p=0 "$out/$1"
}

if [ "$mode" = x3 ] && render x3.mp4 --scale 3; then
  video=$(probe x3.mp4 v codec_name,profile,width,height,pix_fmt,r_frame_rate)
  audio=$(probe x3.mp4 a codec_name,sample_rate,channels)
  echo "ffprobe: x3.mp4: video $video; audio $audio"
  [ "$video" = "h264,High,1920,1440,yuv420p,60/1" ] || fail "x3.mp4's pictures are $video"
  [ "$audio" = "aac,48000,2" ] || fail "x3.mp4's sound is $audio, not AAC stereo at 48 kHz"
  # The file's top-level boxes in order: the index (moov) before the pictures and sounds (mdat).
  boxes=$(python3 - "$out/x3.mp4" <<'EOF'
import struct, sys
names = []
with open(sys.argv[1], "rb") as f:
    while True:
        head = f.read(8)
        if len(head) < 8:
            break
        size, name = struct.unpack(">I4s", head)
        if size == 1:
            size = struct.unpack(">Q", f.read(8))[0] - 8
        names.append(name.decode("latin-1"))
        f.seek(size - 8, 1)
print(" ".join(names))
EOF
)
  echo "x3.mp4's boxes: $boxes"
  [[ "$boxes" == *moov*mdat* ]] || fail "x3.mp4 does not have its index (moov) before its data (mdat)"
  "$check" "$out/x3.mp4" "$out/assets" 3 || fail "what x3.mp4 shows and sounds like (above)"
fi

if [ "$mode" = webm ] && render x1.webm; then
  video=$(probe x1.webm v codec_name,width,height,pix_fmt,r_frame_rate)
  audio=$(probe x1.webm a codec_name,sample_rate,channels)
  echo "ffprobe: x1.webm: video $video; audio $audio"
  [ "$video" = "vp9,640,480,yuv420p,60/1" ] || fail "x1.webm's pictures are $video"
  [ "$audio" = "opus,48000,2" ] || fail "x1.webm's sound is $audio, not Opus stereo at 48 kHz"
  "$check" "$out/x1.webm" "$out/assets" || fail "what x1.webm shows and sounds like (above)"
fi

finish
