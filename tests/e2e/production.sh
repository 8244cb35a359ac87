#!/usr/bin/env bash
# The whole production as a viewer gets it, on an X display that is already there: run from the
# folder that holds its pictures and sounds, screenshots at moments of the timeline, checked for
# the colours each moment must show; the run ends by itself (or, for "escape", by a real Escape
# key press), and with SDL's disk audio the sound it played is checked too.
#   tests/e2e/production.sh KIND OUT_DIR ASSET_DIR PROGRAM [ARGS...]
# KIND: sdl (the whole run on the SDL host, its audio written to OUT_DIR/audio.raw),
#       escape (ended by Escape in scene 1), wine (the whole run in Wine's virtual desktop),
#       wine-escape (in Wine's virtual desktop, ended by Escape in scene 1).
set -u
kind=$1 out=$2 assets=$3; shift 3
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
rm -f "$out"/shot-*.png "$out/audio.raw"
failures=0
fail() { echo "$*"; failures=$((failures + 1)); }

# The background's palette entry N as #RRGGBB (the colour table starts at byte 54, blue first).
entry() {
  local b g r
  read -r b g r _ < <(od -An -tu1 -j $((54 + 4 * $1)) -N4 "$assets/3Z-ER-AVE.bmp")
  printf '#%02X%02X%02X' "$r" "$g" "$b"
}
# How many pixels of a screenshot have this colour, each component within 3 %: the palette a
# fade leaves behind may stop a step short of full strength.
count() {
  convert "$1" -depth 8 rgb:- | python3 -c '
import sys
pixels = sys.stdin.buffer.read()
want = bytes.fromhex(sys.argv[1].lstrip("#"))
near = [bytes(range(max(0, w - 8), min(255, w + 8) + 1)) for w in want]
print(sum(1 for i in range(0, len(pixels) - 2, 3)
          if pixels[i] in near[0] and pixels[i + 1] in near[1] and pixels[i + 2] in near[2]))
' "$2"
}
shoot() {  # shoot NAME: the screen (Wine: its desktop window)
  local target=root
  if [ "$kind" = wine ] || [ "$kind" = wine-escape ]; then
    target=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1)
    [ -n "$target" ] || target=root
  fi
  import -window "$target" "$out/shot-$1.png" 2>/dev/null
}
at() {  # at SECONDS: sleeps until that many seconds after the launch
  local now
  now=$(date +%s.%N)
  sleep "$(awk -v t="$1" -v now="$now" -v s="$start" 'BEGIN { d = t - (now - s); print (d > 0 ? d : 0) }')"
}
colours() { convert "$1" -format %k info:; }

start=$(date +%s.%N)
if [ "$kind" = sdl ]; then
  (cd "$assets" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" SDL_DISKAUDIODELAY=6 \
     VADURER_REPORT_FIRST_FRAME=1 exec timeout 120 "$@") 2>"$out/stderr.txt" & pid=$!
else
  (cd "$assets" && exec timeout 120 "$@") 2>"$out/stderr.txt" & pid=$!
fi

case "$kind" in
  escape | wine-escape)
    at 9; shoot 9
    at 12; shoot 12
    wid=$(xdotool search --onlyvisible --name "Stop The Vadurer" 2>/dev/null | head -1)
    [ -n "$wid" ] || wid=$(xdotool search --onlyvisible --name "Wine desktop" 2>/dev/null | head -1)
    [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null
    xdotool key --clearmodifiers Escape
    ;;
  wine)
    at 9; shoot 9
    ;;
  *)
    for t in 3 9 12 15 20 40; do at $t; shoot $t; done
    ;;
esac
wait $pid
code=$?
cat "$out/stderr.txt"
[ "$code" = 124 ] && fail "the production did not end by itself within 120 s"
if [ "$kind" = escape ] || [ "$kind" = wine-escape ]; then
  [ "$code" = 27 ] || fail "expected exit code 27 after Escape, got $code"
fi

cube=0
for n in 119 120 121 122 123 124 125 126 127; do
  c=$(count "$out/shot-9.png" "$(entry $n)" 2>/dev/null)
  cube=$((cube + ${c:-0}))
done 2>/dev/null
mask=$(entry 63)
[ "$cube" -gt 500 ] || fail "at 9 s the cube (the background's colours 119 to 127) does not show: $cube pixels"
[ "$(colours "$out/shot-9.png")" -gt 50 ] || fail "at 9 s the background does not show"
if [ "$kind" = escape ] || [ "$kind" = wine-escape ]; then
  m=$(count "$out/shot-12.png" "$mask")
  [ "${m:-0}" -gt 1000 ] || fail "at 12 s the frozen mask (colour 63, $mask) does not show"
fi
if [ "$kind" = sdl ]; then
  [ "$(colours "$out/shot-3.png")" -gt 30 ] || fail "at 3 s the rising background does not show"
  m=$(count "$out/shot-12.png" "$mask")
  [ "${m:-0}" -gt 1000 ] || fail "at 12 s the frozen mask (colour 63, $mask) does not show"
  [ "$(colours "$out/shot-15.png")" -gt 50 ] || fail "at 15 s the band over the background does not show"
  [ "$(colours "$out/shot-20.png")" -gt 20 ] || fail "at 20 s the scroller does not show"
  [ "$(colours "$out/shot-40.png")" -gt 20 ] || fail "at 40 s no credit page shows"
  # The audio: the music for the whole run, and the bang of the zoom's end near 11 s.
  python3 - "$out/audio.raw" <<'EOF' || failures=$((failures + 1))
import struct, sys, math
raw = open(sys.argv[1], 'rb').read()
frames = len(raw) // 4
rate = 44100
secs = frames / rate
print(f"audio: {secs:.1f} s written")
if secs < 60:
    print("the written audio is shorter than the production"); sys.exit(1)
def rms(t0, t1):
    a, b = int(t0 * rate), int(t1 * rate)
    s = struct.unpack(f"<{(b - a) * 2}h", raw[a * 4:b * 4])
    return math.sqrt(sum(v * v for v in s) / max(1, len(s)))
if rms(20, 60) < 300:
    print("the music is missing"); sys.exit(1)
# The largest rise of the 25 ms level between 7 and 14 s: the bang. SDL's disk driver, which
# stands in for the device here, plays a few per cent slow (its sleeps overshoot), and the host
# drops what a device falls behind by, to keep the sound in step with the picture: the file comes
# out seconds short, and the bang up to 2 s early in it.
step = 0.025
levels = [(7 + i * step, rms(7 + i * step, 7 + (i + 1) * step)) for i in range(int(7 / step))]
rise = max(range(1, len(levels)), key=lambda i: levels[i][1] - levels[i - 1][1])
onset = levels[rise][0]
print(f"audio: the bang's onset at {onset:.2f} s of the written audio")
if not 8.0 <= onset <= 12.0:
    print("the bang is not near 11 s"); sys.exit(1)
EOF
fi
echo "production ($kind): exit code $code; screenshots in $out"
[ "$failures" -eq 0 ]
