#!/usr/bin/env bash
# The viewer's controls on the SDL host, on an X display that is already there (no window
# manager), with real key presses (xdotool).
#   tests/e2e/controls.sh CASE OUT_DIR ASSET_DIR PROGRAM [SCREENSHOT_MATCH]
# CASE:
#   toggle      paused in the opening fade, F11 to a window and back: each time the screen shows
#               the frame of the F12 screenshot (the same pixels, palette and place); then toggled
#               while playing, paused again, and the screen still shows the screenshot's colours;
#               Escape while paused ends the run (screen 1280 x 1000, where the sharp fill is x2
#               exactly).
#   toggle-wm   the same under a window manager (openbox), which decorates the window and is asked
#               for fullscreen.
#   screenshot  F12 while paused: the PNG lands in the XDG pictures folder and equals a frame the
#               headless host records (SCREENSHOT_MATCH).
#   pause       a run paused for 2 s or more in scene 1, ended by Escape after the flash, its sound
#               written by SDL's disk driver: the production's clock stood still for the pause and
#               only for it (its frame log), so its flash, colour 63 everywhere, came at 10 s of it
#               though the wall's ran on; the sound was silent while paused, and the music went on
#               after it from where it had stopped, found in the music's own file.
#   exits       Q, Enter and Alt pressed in each of the six orders end the process with code 0
#               (every other run paused first); Escape, a left click and Alt+F4 end a paused run.
#   resize      PROGRAM is display_check --window --scale whole (four coloured quadrants): the
#               window sized by hand shows the frame at the largest whole factor, centred, or the
#               largest fit of its shape (screen 1920 x 1080); the sharp fill's resizing is
#               tests/e2e/scale.sh's.
# The moments are the production's own (its frame log, tests/e2e/frame_clock.sh) or what the
# screen and the program say (a pause that took, a window's new size, a screenshot written),
# never a second of the wall; a wait for the program is bounded generously.
set -u
case=$1 out=$2 assets=$3 program=$4 match=${5:-}
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
title="Stop The Vadurer"
# shellcheck source=tests/e2e/frame_clock.sh
. "$(dirname "$0")/frame_clock.sh"

# launch NAME [VAR=VALUE...]: PROGRAM from the asset folder, its frame log in $frames; pid in $pid,
# launch time in $start.
launch() {
  local name=$1; shift
  start=$(date +%s.%N)
  frames=$out/$name-frames.txt
  rm -f "$frames"
  (cd "$assets" && exec env VADURER_FRAME_LOG="$frames" "$@" timeout 120 "$program") 2>"$out/$name-stderr.txt" &
  pid=$!
}
# at MS: waits until the production's clock has passed MS; false, said, where it did not.
at() { at_production "$1" "$frames" "$pid"; }
# paused: P, and the frames stop.
paused() { key p; frames_stopped "$frames" || fail "P did not pause"; }
# resumed: P again, and the frames come again.
resumed() {
  local count
  count=$(frame_count "$frames")
  key p
  for _ in $(seq 500); do [ "$(frame_count "$frames")" -gt "$count" ] && return 0; sleep 0.02; done
  fail "P again did not end the pause"
}
# focus: the program's window, once shown, has the keyboard.
focus() {
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" 2>/dev/null | head -1)
  [ -n "$wid" ] || { fail "the window never showed"; return 1; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  return 0
}
key() { xdotool key "$@"; sleep 0.3; }
# ended SECONDS: the program's exit code in $code once it ends within that time; 124 if it did not.
# (Bounds are generous: a busy machine is slow, and the time itself is not what is checked.)
ended() {
  local n
  for n in $(seq $(($1 * 20))); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; code=$?; return 0; }
    sleep 0.05
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  code=124
}
shoot() { import -window "${2:-root}" "$out/$1.png" 2>/dev/null; }
# The screenshots the program said it wrote, in order.
screenshots() { sed -n 's/^vadurer: screenshot written to //p' "$out/$1-stderr.txt"; }
# screenshot NAME: F12, and waits until the program says it wrote one more.
screenshot_key() {
  local had
  had=$(screenshots "$1" | wc -l)
  xdotool key F12
  for _ in $(seq 500); do [ "$(screenshots "$1" | wc -l)" -gt "$had" ] && return 0; sleep 0.02; done
  fail "$1: F12 wrote no screenshot"
}
# differ A B: how many pixels of two pictures differ.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
# shows NAME SHOT X Y K SCREENSHOT: the screen shot NAME shows SCREENSHOT at (X, Y) scaled K times,
# but for the pause mark in the frame's top left corner and F12's notice along its bottom edge.
shows() {
  local name=$1 shot=$2 x=$3 y=$4 k=$5 png=$6 n
  local marks=(-fill black -draw "rectangle 0,0 $((128 * k - 1)),$((48 * k - 1))"
    -draw "rectangle 0,$((432 * k)) $((640 * k - 1)),$((480 * k - 1))")
  convert "$shot" -crop "$((640 * k))x$((480 * k))+$x+$y" +repage "${marks[@]}" "$out/$name-frame.png"
  convert "$png" -sample "$((100 * k))%" "${marks[@]}" "$out/$name-expected.png"
  n=$(differ "$out/$name-frame.png" "$out/$name-expected.png")
  [ "$n" = 0 ] || fail "$name: the screen's frame at ($x,$y) x$k differs from the screenshot in $n pixels"
}
geometry() {  # geometry WID: "W H X Y"
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } /^X/ { x = $2 }
    /^Y/ { y = $2 } END { print w, h, x, y }'
}
expect_geometry() {  # expect_geometry WHAT "W H X Y": the window comes to that (10 s at most; a pattern)
  local got
  for _ in $(seq 100); do
    got=$(geometry "$wid")
    # shellcheck disable=SC2053 # the expected geometry is a pattern
    [[ $got == $2 ]] && return 0
    sleep 0.1
  done
  fail "$1: the window is $got (width height x y), expected $2"
}

toggle() {
  rm -rf "$out/pictures"; mkdir -p "$out/pictures"
  launch toggle SDL_AUDIODRIVER=dummy XDG_PICTURES_DIR="$out/pictures" XDG_CONFIG_HOME="$out/none"
  focus || return
  at 2500 || return
  paused
  expect_geometry "fullscreen" "1280 1000 0 0"
  screenshot_key toggle; shoot fullscreen
  key F11
  # Without a window manager the window is placed where the host asks: in the middle; with one,
  # wherever the window manager puts it.
  if [ "${wm:-}" ]; then
    expect_geometry "the window" "640 480 *"
  else
    expect_geometry "the window" "640 480 320 260"
  fi
  screenshot_key toggle; shoot window "$wid"
  key F11
  expect_geometry "fullscreen again" "1280 1000 0 0"
  screenshot_key toggle; shoot fullscreen-again
  # While playing: to the window and back, then paused again half a second of the production on.
  resumed
  key F11
  expect_geometry "the window while playing" "640 480 *"
  key F11
  expect_geometry "fullscreen while playing" "1280 1000 0 0"
  at "$(($(production_ms "$frames") + 500))"
  paused
  screenshot_key toggle; shoot played
  key Escape
  ended 10
  cat "$out/toggle-stderr.txt"
  [ "$code" = 27 ] || fail "Escape while paused: expected exit code 27, got $code"
  mapfile -t pngs < <(screenshots toggle)
  [ ${#pngs[@]} = 4 ] || { fail "expected 4 screenshots, got ${#pngs[@]}"; return; }
  for i in 1 2; do
    [ "$(differ "${pngs[0]}" "${pngs[$i]}")" = 0 ] || fail "screenshot $((i + 1)) differs from the first"
  done
  shows fullscreen "$out/fullscreen.png" 0 20 2 "${pngs[0]}"
  shows window "$out/window.png" 0 0 1 "${pngs[1]}"
  shows fullscreen-again "$out/fullscreen-again.png" 0 20 2 "${pngs[2]}"
  shows played "$out/played.png" 0 20 2 "${pngs[3]}"
  [ "$(differ "${pngs[0]}" "${pngs[3]}")" != 0 ] || fail "the production did not go on between the pauses"
}

screenshot() {
  local home=$out/home
  rm -rf "$home"; mkdir -p "$home/Pictures" "$home/config"
  printf 'XDG_PICTURES_DIR="$HOME/Pictures"\n' >"$home/config/user-dirs.dirs"
  launch screenshot SDL_AUDIODRIVER=dummy HOME="$home" XDG_CONFIG_HOME="$home/config" \
    VADURER_FRAME_LOG="$out/screenshot-frames.txt"
  focus || return
  at 3000 || return
  key Pause; key F12; key Escape
  ended 10
  cat "$out/screenshot-stderr.txt"
  [ "$code" = 27 ] || fail "Escape while paused: expected exit code 27, got $code"
  mapfile -t pngs < <(screenshots screenshot)
  [ ${#pngs[@]} = 1 ] || { fail "expected one screenshot, got ${#pngs[@]}"; return; }
  case "${pngs[0]}" in
    "$home/Pictures/vadurer-"*.png) ;;
    *) fail "the screenshot went to ${pngs[0]}, not the pictures folder $home/Pictures" ;;
  esac
  identify "${pngs[0]}"
  "$match" "${pngs[0]}" "$assets" || fail "the screenshot is no frame the production presents"
}

pause() {
  local log=$out/paused-frames.txt pressed resumed count
  rm -f "$out/paused.raw"
  launch paused SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/paused.raw" SDL_DISKAUDIODELAY=5
  focus || return
  # Paused 8.5 s into the production (scene 1, where only the music plays), and held for 2 s more
  # once the frames have stopped: the pause lasts 2 s at least, whatever the machine's load.
  at_production 8500 "$frames" "$pid" || { fail "scene 1 never played"; return; }
  pressed=$(date +%s%N)
  key p
  frames_stopped "$frames" || { fail "P did not pause"; return; }
  sleep 2
  count=$(frame_count "$frames")
  key p
  for _ in $(seq 500); do [ "$(frame_count "$frames")" -gt "$count" ] && break; sleep 0.02; done
  resumed=$(date +%s%N)
  [ "$(frame_count "$frames")" -gt "$count" ] || { fail "P again did not end the pause"; return; }
  # Ended once the flash (at 10 s of the production) has shown.
  at_production 10500 "$frames" "$pid" || { fail "the production did not go on to 10.5 s after the pause"; return; }
  key Escape
  ended 10
  [ "$code" = 27 ] || fail "the paused run: expected exit code 27, got $code"
  python3 - "$out" "$assets/Ruzuzireve.wav" "$(((resumed - pressed) / 1000000))" <<'EOF' || failures=$((failures + 1))
import struct, sys
out, wav, most = sys.argv[1], sys.argv[2], int(sys.argv[3])
rate, B, N, ok = 44100, 4, 256, True
def bad(what):
    global ok
    print("FAILED:", what); ok = False

# The production's clock: each frame's wall clock and production milliseconds (one clock but for
# the pauses, from the first frame), and the index the whole frame shows.
frames = [tuple(map(int, l.split())) for l in open(f"{out}/paused-frames.txt")]
frames = [(w, c - frames[0][1], u) for w, c, u in frames]
if any(b[1] < a[1] for a, b in zip(frames, frames[1:])):
    bad("the production's clock went back")
gap = max(range(1, len(frames)), key=lambda i: frames[i][0] - frames[i - 1][0])
wall_gap, clock_gap = frames[gap][0] - frames[gap - 1][0], frames[gap][1] - frames[gap - 1][1]
def median(xs):
    return sorted(xs)[len(xs) // 2]
late = median([w - c for w, c, _ in frames[gap:]]) - median([w - c for w, c, _ in frames[:gap]])
print(f"pause: {wall_gap} ms between two frames on the wall clock, {clock_gap} ms on the production's; after it "
      f"the production runs {late} ms behind the wall (the pause held for 2 s at least, and all of it within "
      f"{most} ms of the first P)")
# It stood still for all of the pause and no longer: at least the 2 s it was held, at most the time
# from the first P to the frames coming again.
if not 1990 <= late <= most + 20:
    bad("the production's clock did not stand still for the pause, and only for it")
flash = [i for i, f in enumerate(frames) if f[2] == 63]
if not flash:
    bad("no frame shows colour 63 everywhere: no flash")
else:
    wall, clock, _ = frames[flash[0]]
    print(f"the flash: {len(flash)} frames of colour 63 everywhere, at {clock} ms of the production, {wall} ms of the wall")
    # (Counted from the first frame's end, which comes after the production's start by the time
    # that frame took to draw and show: the flash may read a little before 10 s. A pause that let
    # the production's own time run on would bring it 2 s early at least.)
    if not (flash[0] >= gap and 9500 <= clock < 11000):
        bad("the flash is not at 10 s of the production's clock after the pause")

# The sound: silent while paused, and after it the music goes on from where it stopped, found in
# the music's own file sample for sample (only the music plays from 7 s to 11 s of the production).
# Where SDL's disk driver falls behind the clock the host drops what it missed, which skips the
# music forward a little now and then; a pause that let the music run on would skip it by the
# whole pause, one that played anything twice would take it back.
raw = open(wav, "rb").read()
i = raw.find(b"data")
music = raw[i + 8:i + 8 + struct.unpack("<I", raw[i + 4:i + 8])[0]]
P = open(f"{out}/paused.raw", "rb").read()
P = P[: len(P) // B * B]
n, zero = len(P) // B, b"\0" * B
i = 0
while i < n and P[i * B:(i + 1) * B] == zero:  # the silence before the sound starts
    i += 1
best = (0, 0)
while i < n:
    if P[i * B:(i + 1) * B] == zero:
        j = i
        while j < n and P[j * B:(j + 1) * B] == zero:
            j += 1
        if j - i > best[1] - best[0]:
            best = (i, j)
        i = j
    else:
        i += 1
p0, p1 = best
print(f"sound written: {n / rate:.2f} s, with {(p1 - p0) / rate:.3f} s of silence from {p0 / rate:.3f} s")
if p1 - p0 < rate // 2:
    bad("the sound did not stop for the pause")
def find(key):
    k = music.find(key)
    while k >= 0 and k % B:
        k = music.find(key, k + 1)
    return None if k < 0 else k // B
def found(ats):  # the first of these written frames whose 256 frames are found in the music
    for at in ats:
        m = find(P[at * B:(at + N) * B])
        if m is not None:
            return at, m
    return None
before = found(range(p0 - 64 - N, p0 - 64 - N - 20 * 512, -512))
after = found(range(p1 + 64, p1 + 64 + 20 * 512, 512))
if before is None or after is None:
    bad("the music around the pause is not in the written sound")
else:
    (a, ma), (b, mb) = before, after
    # The music's frames from the one before to the one after, against the written frames between
    # them but for the silence.
    jump = (mb - ma) - ((b - a) - (p1 - p0))
    print(f"the music before the pause at {ma / rate:.3f} s, after it at {mb / rate:.3f} s: it went on "
          f"{jump / rate:+.3f} s past where it stopped")
    if not 0 <= jump <= rate:
        bad("the music does not go on from where it stopped across the pause: it skips or repeats")
sys.exit(0 if ok else 1)
EOF
}

exits() {
  local orders=("q Return Alt_L" "q Alt_L Return" "Return q Alt_L" "Return Alt_L q" "Alt_L q Return" "Alt_L Return q")
  local n=0 order k
  for order in "${orders[@]}"; do
    n=$((n + 1))
    launch "exit-$n" SDL_AUDIODRIVER=dummy
    focus || continue
    at 1000 || continue
    local note=""
    if [ $((n % 2)) = 0 ]; then paused; note=" (paused)"; fi
    for k in $order; do xdotool keydown "$k"; sleep 0.15; done
    ended 10
    xdotool keyup q Return Alt_L
    echo "$order$note: exit code $code ($(awk -v s="$start" -v now="$(date +%s.%N)" 'BEGIN { printf "%.1f", now - s }') s after the launch)"
    [ "$code" = 0 ] || fail "$order$note: expected the process to end with code 0, got $code"
  done
  local how
  for how in Escape click alt+F4; do
    launch "paused-$how" SDL_AUDIODRIVER=dummy
    focus || continue
    at 1000 || continue
    paused
    if [ "$how" = click ]; then xdotool mousemove 650 500 click 1; else xdotool key "$how"; fi
    ended 10
    echo "$how while paused: exit code $code"
    [ "$code" != 124 ] || fail "$how while paused did not end the run"
  done
}

# resized SHOT W H X Y FW FH: what is wrong with a shot of the window of W x H that should show the
# frame at (X, Y), FW x FH, black around it; nothing where all is right.
resized() {
  local f=$1 w=$2 h=$3 x=$4 y=$5 fw=$6 fh=$7 got
  got=$(identify -format '%w %h' "$f" 2>/dev/null)
  [ "$got" = "$w $h" ] || { echo "window $w x $h: the shot is $got"; return; }
  pixel() { convert "$f" -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}' | head -1; }
  expect() {
    local c
    c=$(pixel "$1" "$2")
    [ "$c" = "$3" ] || echo "window $w x $h: ($1,$2) is $c, expected $3 ($4)"
  }
  local r=$((x + fw - 1)) b=$((y + fh - 1))
  expect "$x" "$((y + fh / 4))" "#FF0000" "the frame's left edge"
  expect "$r" "$b" "#FFFF00" "the frame's bottom right corner"
  expect "$((x + fw / 2 - 1))" "$b" "#0000FF" "the last column of the left half"
  expect "$((x + fw / 2))" "$b" "#FFFF00" "the first column of the right half"
  [ "$x" -gt 0 ] && expect "$((x - 1))" "$((y + fh / 4))" "#000000" "black left of the frame"
  [ "$y" -gt 0 ] && expect "$((x + fw / 4))" "$((y - 1))" "#000000" "black above the frame"
  [ "$r" -lt $((w - 1)) ] && expect "$((r + 1))" "$b" "#000000" "black right of the frame"
  [ "$b" -lt $((h - 1)) ] && expect "$r" "$((b + 1))" "#000000" "black below the frame"
  return 0
}

resize() {
  local work
  work=$(mktemp -d)
  (cd "$work" && exec timeout 60 "$program" --window --scale whole) & pid=$!
  for _ in $(seq 300); do [ -e "$work/shown-1" ] && break; sleep 0.1; done
  wid=$(xdotool search --onlyvisible --name "Display Check" 2>/dev/null | head -1)
  [ -n "$wid" ] || { fail "the window never showed"; kill $pid; rm -rf "$work"; return; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  local step=0 size
  # W H: the frame's place and size in a window of W x H.
  for size in "1400 1000 60 20 1280 960" "1000 700 180 110 640 480" "500 400 0 12 500 375"; do
    read -r w h x y fw fh <<<"$size"
    step=$((step + 1))
    [ $step = 3 ] && key p  # sized while paused, the window shows the frame all the same
    xdotool windowsize "$wid" "$w" "$h"
    # Shots until the window shows the frame as it should at its new size (10 s at most); the
    # last one's faults are the failures.
    local f=$out/resize-$step.png problems=""
    for _ in $(seq 30); do
      shoot "resize-$step" "$wid"
      problems=$(resized "$f" "$w" "$h" "$x" "$y" "$fw" "$fh")
      [ -z "$problems" ] && break
      sleep 0.3
    done
    while IFS= read -r line; do [ -n "$line" ] && fail "$line"; done <<<"$problems"
    echo "window $w x $h: the frame at ($x,$y), $fw x $fh"
  done
  key Escape
  ended 10
  rm -rf "$work"
  [ "$code" = 5 ] || fail "Escape while paused: expected display_check's code 5, got $code"
}

toggle-wm() {
  openbox >"$out/openbox.txt" 2>&1 & wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  toggle
  kill "$wm"
}

"$case"
echo "controls ($case): $failures failure(s); pictures in $out"
[ "$failures" -eq 0 ]
