#!/usr/bin/env bash
# The whole production as a viewer gets it, on an X display that is already there: run from the
# folder that holds its pictures and sounds, screenshots of the moments of the timeline, checked for
# the colours each moment must show; the run ends by itself (or, for "escape", by a real Escape key
# press), and with SDL's disk audio the sound it played is checked too.
# A moment is looked for in a series of screenshots over a stretch of the wall clock wide enough that
# a slow start (a busy machine, Wine starting) cannot put it outside, and the series stops at the
# first that shows it; each is said with its time after the launch and, on the SDL host, the
# production's own time at it (its frame log). Moments in order of the timeline are looked for in
# that order: the mask, say, only in shots after the one that showed the cube. On the SDL host the
# cube and the mask, which show for a few seconds only, are shot with the program held (held,
# below).
#   tests/e2e/production.sh KIND OUT_DIR ASSET_DIR PROGRAM [ARGS...]
# KIND: sdl (the whole run on the SDL host, its audio written to OUT_DIR/audio.raw),
#       escape (ended by Escape once the mask of scene 1 shows), wine (the whole run in Wine's
#       virtual desktop), wine-escape (in Wine's virtual desktop, ended by Escape as escape).
set -u
kind=$1 out=$2 assets=$3; shift 3
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
rm -f "$out"/shot-*.png "$out"/shot*.ppm "$out/audio.raw" "$out/frames.txt"
failures=0
fail() { echo "$*"; failures=$((failures + 1)); }
# shellcheck source=tests/e2e/frame_clock.sh
. "$(dirname "$0")/frame_clock.sh"
# The SDL host's frame log, for the production's time at each shot (Wine's program writes none).
export VADURER_FRAME_LOG=$out/frames.txt

# The background's palette entry N as #RRGGBB (the colour table starts at byte 54, blue first).
entry() {
  local b g r
  read -r b g r _ < <(od -An -tu1 -j $((54 + 4 * $1)) -N4 "$assets/3Z-ER-AVE.bmp")
  printf '#%02X%02X%02X' "$r" "$g" "$b"
}
elapsed() { awk -v s="$start" -v now="$(date +%s.%N)" 'BEGIN { printf "%.1f", now - s }'; }
at() {  # at SECONDS: sleeps until that many seconds after the launch
  local now
  now=$(date +%s.%N)
  sleep "$(awk -v t="$1" -v now="$now" -v s="$start" 'BEGIN { d = t - (now - s); print (d > 0 ? d : 0) }')"
}
shoot() {  # shoot FILE: the screen (Wine: its desktop window)
  local target=root
  if [ "$kind" = wine ] || [ "$kind" = wine-escape ]; then
    target=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1)
    [ -n "$target" ] || target=root
  fi
  import -window "$target" -depth 8 "$1" 2>/dev/null
}

# What each moment shows, from what measure says of its shot.
cube=()
# The cube's lit faces: the background's colours 119 to 122, which the background itself never
# shows (its darker shades, 123 to 127, it does).
for n in 119 120 121 122; do cube+=("$(entry "$n")"); done
mask=$(entry 63)
# measure SHOT.ppm: "CUBE MASK COLOURS" of a screenshot: how many of its pixels have the cube's
# colours and how many the mask's, each component within 3 %, and how many colours show among every
# other pixel of every other row. The colours are looked for at full strength and at 95 and 90 % of
# it, and the strength that finds most is kept: a fade leaves its last frame's palette behind, which
# a long frame near its end (a busy machine) leaves short of full strength (by 4 % in one run).
# One process, a few operations on whole planes (each colour's plane of matches is one large
# integer), so that a busy machine still shoots often.
measure() {
  python3 - "$1" "$mask" "${cube[@]}" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
i, fields = 0, []
while len(fields) < 4:  # P6, width, height, the largest value; then one space and the pixels
    while data[i:i + 1].isspace():
        i += 1
    j = i
    while not data[j:j + 1].isspace():
        j += 1
    fields.append(data[i:j])
    i = j
w, h = int(fields[1]), int(fields[2])
if fields[0] != b"P6" or fields[3] != b"255":
    sys.exit(f"{sys.argv[1]} is not a picture of 8-bit RGB")
pixels = data[i + 1:i + 1 + w * h * 3]
planes = [pixels[k::3] for k in range(3)]
def count(colours, strength):
    total = 0
    for colour in colours:
        want = [int(c * strength) for c in bytes.fromhex(colour.lstrip("#"))]
        hits = -1
        for plane, v in zip(planes, want):
            hits &= int.from_bytes(plane.translate(bytes(abs(x - v) <= 8 for x in range(256))), "big")
        total += hits.bit_count()
    return total
counts = max(((count(sys.argv[3:], s), count(sys.argv[2:3], s)) for s in (1.0, 0.95, 0.9)), key=sum)
seen = {pixels[(y * w + x) * 3:(y * w + x) * 3 + 3] for y in range(0, h, 2) for x in range(0, w, 2)}
print(*counts, len(seen))
EOF
}
shows_rising() { [ "$colours" -gt 30 ]; }
shows_cube() { [ "$cube_pixels" -gt 500 ] && [ "$colours" -gt 50 ]; }  # the cube over the background
shows_mask() { [ "$mask_pixels" -gt 1000 ]; }
shows_band() { [ "$colours" -gt 50 ]; }
shows_scroller() { [ "$colours" -gt 20 ]; }
shows_credits() { [ "$colours" -gt 20 ]; }

# look MOMENT FROM UNTIL WHAT: from FROM s after the launch until UNTIL s, screenshots until one
# shows the moment (shows_MOMENT); it is kept as shot-MOMENT.png, the last that did not as
# shot-MOMENT-not.png. False, and the failure said, where none did.
look() {
  local moment=$1 from=$2 until=$3 what=$4 n=0 shot=$out/shot.ppm when ms
  at "$from"
  while :; do
    n=$((n + 1))
    when=$(elapsed)
    ms=$(production_ms "$VADURER_FRAME_LOG")
    shoot "$shot"
    read -r cube_pixels mask_pixels colours < <(measure "$shot" 2>/dev/null || echo 0 0 0)
    if "shows_$moment"; then
      mv "$shot" "$out/shot-$moment.ppm"
      echo "$what: shown at $when s after the launch$([ "$ms" -ge 0 ] && echo ", $ms ms of the production's clock") (shot $n:" \
        "$cube_pixels pixels of the cube's colours, $mask_pixels of the mask's, $colours colours)"
      return 0
    fi
    mv "$shot" "$out/shot-$moment-not.ppm" 2>/dev/null
    if [ "$(awk -v s="$start" -v now="$(date +%s.%N)" -v u="$until" 'BEGIN { print (now - s >= u) }')" = 1 ]; then
      fail "$what does not show in any of $n screenshots from $from s to $until s after the launch (the last:" \
        "$cube_pixels pixels of the cube's colours, $mask_pixels of the mask's, $colours colours)"
      return 1
    fi
    kill -0 "$pid" 2>/dev/null || { fail "$what never showed: the program ended $(elapsed) s after the launch"; return 1; }
  done
}

# held MS WHAT MOMENT...: on the SDL host, once the production's clock has passed MS (its frame
# log), the program is stopped (SIGSTOP) so that the screen holds that moment however long the
# screenshot takes, shot, and let go on (its clock then jumps ahead, as after any stall); the shot
# must show each MOMENT.
descendants() { local p; for p in $(pgrep -P "$1"); do echo "$p"; descendants "$p"; done; }
held() {
  local ms=$1 what=$2 program moment shot=$out/shot-held.ppm
  shift 2
  at_production "$ms" "$VADURER_FRAME_LOG" "$pid" || { fail "$what: the production never reached it"; return 1; }
  program=$(descendants "$pid")  # the program, and what started it (a launcher)
  [ -n "$program" ] && kill -STOP $program
  ms=$(production_ms "$VADURER_FRAME_LOG")
  shoot "$shot"
  [ -n "$program" ] && kill -CONT $program
  read -r cube_pixels mask_pixels colours < <(measure "$shot" 2>/dev/null || echo 0 0 0)
  local said="$cube_pixels pixels of the cube's colours, $mask_pixels of the mask's, $colours colours"
  for moment in "$@"; do
    "shows_$moment" || { fail "$what: no $moment at $ms ms of the production's clock (shot-held.ppm: $said)"; return 1; }
  done
  echo "$what: shown at $ms ms of the production's clock, the program held there ($said)"
}

start=$(date +%s.%N)
if [ "$kind" = sdl ]; then
  (cd "$assets" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" SDL_DISKAUDIODELAY=6 \
     VADURER_REPORT_FIRST_FRAME=1 exec timeout 180 "$@") 2>"$out/stderr.txt" & pid=$!
else
  (cd "$assets" && exec timeout 180 "$@") 2>"$out/stderr.txt" & pid=$!
fi

# The timeline (app/Timeline.h): the background rises from black for 7 s; scene 1 from 7 s, the
# cube dropping in, its flash at 10 s, the mask frozen from 11 s to 14 s; the band from 14 s, the
# scroller from 16 s to 26 s, the credits from 29 s to the end at 69 s.
[ "$kind" = sdl ] && look rising 2 9 "the rising background"
# On the SDL host the program is held at 13 s of its clock for the mask, its colour whole again
# after the flash; Wine's program writes no frame log, so there each is looked for in a series of
# shots.
# The cube, dropped in by frames and zooming away inside the mask, shows for a few seconds that a
# busy machine moves: it is looked for in a series meanwhile, in a shell of its own.
held_scene1() {
  local cube_look
  (look cube 7.5 25 "the cube (the background's colours 119 to 122)" 2>&1 && exit 0; exit 1) & cube_look=$!
  held 13000 "the mask (colour 63, $mask)" mask
  wait "$cube_look" || failures=$((failures + 1))
}
case "$kind" in
  escape | wine-escape)
    if [ "$kind" = escape ]; then
      held_scene1
    else
      look cube 7.5 25 "the cube (the background's colours 119 to 122)" || true
      look mask 0 30 "the mask (colour 63, $mask)"
    fi
    wid=$(xdotool search --onlyvisible --name "Stop The Vadurer" 2>/dev/null | head -1)
    [ -n "$wid" ] || wid=$(xdotool search --onlyvisible --name "Wine desktop" 2>/dev/null | head -1)
    [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null
    escaped=$(date +%s%N)
    xdotool key --clearmodifiers Escape
    ;;
  wine)
    look cube 7.5 25 "the cube (the background's colours 119 to 122)" || true
    ;;
  sdl)
    held_scene1
    look band 15 35 "the band over the background"
    look scroller 20 40 "the scroller"
    look credits 40 60 "a credit page"
    ;;
esac
wait $pid
code=$?
ended=$(date +%s%N)
for shot in "$out"/shot-*.ppm; do
  [ -e "$shot" ] && convert "$shot" "${shot%.ppm}.png" && rm -f "$shot"
done
cat "$out/stderr.txt"
echo "the run ended $(elapsed) s after the launch$([ -n "${escaped:-}" ] && echo ", $(((ended - escaped) / 1000000)) ms after Escape")"
# Played to its end on the SDL host, the program returns the last message's 0. (Under Wine a busy
# machine can end the process by a signal after the program itself has ended, so the code is only
# said there.)
if [ "$code" = 124 ]; then
  fail "the production did not end by itself within 180 s"
elif [ "$kind" = sdl ] && [ "$code" != 0 ]; then
  fail "expected exit code 0 at the production's end, got $code"
fi
if [ "$kind" = escape ] || [ "$kind" = wine-escape ]; then
  [ "$code" = 27 ] || fail "expected exit code 27 after Escape, got $code"
fi

if [ "$kind" = sdl ]; then
  # The sound: the music played through from its start to its end, never back, and the bang of the
  # zoom's end where the timeline puts it in the music. SDL's disk driver, which stands in for the
  # device here, plays slower than the clock (its sleeps overshoot, the more so on a busy machine),
  # and the host drops what the device falls behind by, to keep the sound with the picture: the
  # written sound skips forward through the music now and then, and comes out shorter than the run.
  # So the music is followed through the file, sample for sample, rather than timed by its length.
  python3 - "$out/audio.raw" "$assets/Ruzuzireve.wav" <<'EOF' || failures=$((failures + 1))
import struct, sys
rate, B, N = 44100, 4, 256  # frames a second, bytes a frame (two channels of 16 bits), frames a key
raw = open(sys.argv[1], "rb").read()
wav = open(sys.argv[2], "rb").read()
i = wav.find(b"data")
music = wav[i + 8:i + 8 + struct.unpack("<I", wav[i + 4:i + 8])[0]]
print(f"audio: {len(raw) / B / rate:.1f} s written")
def find(key, k=0):
    k = music.find(key, k)
    while k >= 0 and k % B:
        k = music.find(key, k + 1)
    return k
def where(at):  # the music's frame that the written frame `at` is, from the 256 frames there on
    key = raw[at * B:(at + N) * B]
    if len(key) < N * B or key == bytes(len(key)):
        return None
    k = find(key)
    # (the music's last second is near silence that repeats: a place found twice says nothing)
    return None if k < 0 or find(key, k + 1) >= 0 else k // B
# Every quarter second of the file, where in the music it is: only the music plays but for the
# first 7 s (the opening sound), from 11 s to 12.6 s (the bang) and from 16 s to 17 s.
found = [(at, m) for at in range(0, len(raw) // B - N, rate // 4) if (m := where(at)) is not None]
if len(found) < 2:
    print("FAILED: the music is not in the written sound"); sys.exit(1)
first, last = found[0][1] / rate, found[-1][1] / rate
skipped = (found[-1][1] - found[0][1]) - (found[-1][0] - found[0][0])
print(f"audio: the music found at {len(found)} quarter seconds of the file, from {first:.2f} s to {last:.2f} s "
      f"of the music; {skipped / rate:.2f} s of it dropped to keep in step")
ok = True
if first > 12 or last < 60:
    print("FAILED: the music does not play from its start to its end"); ok = False
# Between two places found, the music moved on at least as far as the file did: it never went back
# or played anything twice, and skipped only forward.
back = [(a / rate, b / rate) for (a, b), (c, d) in zip(found, found[1:]) if d - b < c - a]
if back:
    print(f"FAILED: the music goes back or repeats after {len(back)} places, the first at "
          f"{back[0][0]:.2f} s of the file ({back[0][1]:.2f} s of the music)"); ok = False
# The bang: from the last place found before 10.5 s of the music, the written sound is followed
# against the music, frame by frame, until it is no longer the music: where it is the music again
# further on, that was a drop, and it is followed on from there; else the bang has come in. The
# music is kept with the production's clock, so where the bang comes in the music is where it
# comes in the timeline (11 s), whatever was dropped before.
frames = len(raw) // B
def same(a, m, n):
    return a + n <= frames and raw[a * B:(a + n) * B] == music[m * B:(m + n) * B]
before = [(at, m) for at, m in found if m <= 10.5 * rate]
if not before:
    print("FAILED: the music before the bang is not in the written sound"); sys.exit(1)
at, m = before[-1]
while True:
    while same(at, m, N):
        at, m = at + N, m + N
    while same(at, m, 1):
        at, m = at + 1, m + 1
    k = where(at)
    if k is None or k <= m:
        break
    at, m = at, k
bang = m / rate
print(f"audio: the bang comes in at {at / rate:.2f} s of the file, {bang:.2f} s into the music")
if not 10.5 <= bang <= 12.0:
    print("FAILED: the bang is not at 11 s of the music"); ok = False
sys.exit(0 if ok else 1)
EOF
fi
echo "production ($kind): exit code $code; screenshots in $out"
[ "$failures" -eq 0 ]
