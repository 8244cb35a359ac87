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
#   pause       a run paused for 2 s in scene 1 and one not paused, each ended by Escape, their
#               sound written by SDL's disk driver: with the silence cut out, the paused run's sound
#               is the other's sample for sample across the pause; the production's clock stood
#               still while the wall's ran, so its flash came 2 s later, colour 63 everywhere.
#   exits       Q, Enter and Alt pressed in each of the six orders end the process with code 0
#               (every other run paused first); Escape, a left click and Alt+F4 end a paused run.
#   resize      PROGRAM is display_check --window --scale whole (four coloured quadrants): the
#               window sized by hand shows the frame at the largest whole factor, centred, or the
#               largest fit of its shape (screen 1920 x 1080); the sharp fill's resizing is
#               tests/e2e/scale.sh's.
set -u
case=$1 out=$2 assets=$3 program=$4 match=${5:-}
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
title="Stop The Vadurer"

# launch NAME [VAR=VALUE...]: PROGRAM from the asset folder; pid in $pid, launch time in $start.
launch() {
  local name=$1; shift
  start=$(date +%s.%N)
  (cd "$assets" && exec env "$@" timeout 60 "$program") 2>"$out/$name-stderr.txt" & pid=$!
}
# at SECONDS: sleeps until that many seconds after the launch.
at() {
  local now
  now=$(date +%s.%N)
  sleep "$(awk -v t="$1" -v now="$now" -v s="$start" 'BEGIN { d = t - (now - s); print (d > 0 ? d : 0) }')"
}
# focus: the program's window, once shown, has the keyboard.
focus() {
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name "$title" 2>/dev/null | head -1)
  [ -n "$wid" ] || { fail "the window never showed"; return 1; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  return 0
}
key() { xdotool key "$@"; sleep 0.3; }
# ended SECONDS: the program's exit code in $code once it ends within that time; 124 if it did not.
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
expect_geometry() {  # expect_geometry WHAT "W H X Y"
  local got
  got=$(geometry "$wid")
  [ "$got" = "$2" ] || fail "$1: the window is $got (width height x y), expected $2"
}

toggle() {
  rm -rf "$out/pictures"; mkdir -p "$out/pictures"
  launch toggle SDL_AUDIODRIVER=dummy XDG_PICTURES_DIR="$out/pictures" XDG_CONFIG_HOME="$out/none"
  focus || return
  at 2.5
  key p; key F12; shoot fullscreen
  expect_geometry "fullscreen" "1280 1000 0 0"
  key F11; sleep 0.3; key F12; shoot window "$wid"
  # Without a window manager the window is placed where the host asks: in the middle.
  if [ "${wm:-}" ]; then
    expect_geometry "the window" "640 480 $(geometry "$wid" | cut -d' ' -f3-)"
  else
    expect_geometry "the window" "640 480 320 260"
  fi
  key F11; sleep 0.3; key F12; shoot fullscreen-again
  expect_geometry "fullscreen again" "1280 1000 0 0"
  # While playing: to the window and back, then paused again.
  key p; key F11; key F11; sleep 0.5; key p; key F12; shoot played
  key Escape
  ended 5
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
  at 3
  key Pause; key F12; key Escape
  ended 5
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
  launch plain SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/plain.raw" SDL_DISKAUDIODELAY=5 \
    VADURER_FRAME_LOG="$out/plain-frames.txt"
  focus || return
  at 11.5; key Escape; ended 5
  [ "$code" = 27 ] || fail "the unpaused run: expected exit code 27, got $code"
  launch paused SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/paused.raw" SDL_DISKAUDIODELAY=5 \
    VADURER_FRAME_LOG="$out/paused-frames.txt"
  focus || return
  at 8; key p; at 10; key p
  at 13; key Escape; ended 5
  [ "$code" = 27 ] || fail "the paused run: expected exit code 27, got $code"
  python3 - "$out" <<'EOF' || failures=$((failures + 1))
import sys
out = sys.argv[1]
rate, ok = 44100, True
def bad(what):
    global ok
    print("FAILED:", what); ok = False

def frames(name):  # (wall ms, production ms, uniform index) for each frame the display ended
    return [tuple(map(int, l.split())) for l in open(f"{out}/{name}-frames.txt")]
plain, paused = frames("plain"), frames("paused")
# The pause: the longest wait between two frames on the wall clock, and on the production's.
gap = max(range(1, len(paused)), key=lambda i: paused[i][0] - paused[i - 1][0])
wall_gap = paused[gap][0] - paused[gap - 1][0]
clock_gap = paused[gap][1] - paused[gap - 1][1]
print(f"pause: {wall_gap} ms between two frames on the wall clock, {clock_gap} ms on the production's")
if not 1800 <= wall_gap <= 2300 or clock_gap > 50:
    bad("the production's clock did not stand still for the pause")
def flash(fs, name):
    f = [x for x in fs if x[2] == 63]
    if not f:
        bad(f"{name}: no frame shows colour 63 everywhere"); return None
    print(f"{name}: the flash, {len(f)} frames of colour 63 everywhere, at {f[0][1]} ms of the production, "
          f"{f[0][0]} ms of the wall")
    return f[0]
fp, fq = flash(plain, "unpaused"), flash(paused, "paused")
if fp and fq:
    late = (fq[0] - fq[1]) - (fp[0] - fp[1])
    print(f"paused: the production's timeline runs {late} ms behind the wall's more than unpaused")
    if abs(late - wall_gap) > 150:
        bad("the production's timeline is not late by the pause")

def pcm(name):
    raw = open(f"{out}/{name}.raw", "rb").read()
    return raw[: len(raw) // 4 * 4]
U, P = pcm("plain"), pcm("paused")
B = 4  # bytes a frame: two channels of 16 bits
# The inserted silence: the longest run of zero frames in the paused run's sound.
best, run_start, i, n = (0, 0), None, 0, len(P) // B
zero = b"\0" * B
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
print(f"sound written: {len(U) / B / rate:.2f} s unpaused, {len(P) / B / rate:.2f} s paused, with "
      f"{(p1 - p0) / rate:.3f} s of silence from {p0 / rate:.3f} s")
def offset(at):  # where the paused run's sound at frame `at` is found in the unpaused run's
    key = P[at * B:(at + 256) * B]
    k = U.find(key)
    while k >= 0 and k % B:
        k = U.find(key, k + 1)
    return None if k < 0 else k // B - at
before, after = offset(p0 - rate // 4), offset(p1 + rate // 4)
if before is None or after is None:
    bad("the paused run's sound around the pause is not in the unpaused run's")
else:
    cut = before - after
    print(f"paused: the sound before the pause is the unpaused run's {before} frames on, after it "
          f"{after} frames on: {cut} frames ({cut / rate:.4f} s) apart; the silence is {p1 - p0} frames")
    x = rate // 2
    same_before = P[(p0 - x) * B:p0 * B] == U[(p0 - x + before) * B:(p0 + before) * B]
    same_after = P[(p0 + cut) * B:(p0 + cut + x) * B] == U[(p0 + before) * B:(p0 + before + x) * B]
    silent = P[p0 * B:(p0 + cut) * B] == zero * cut
    if not (same_before and same_after and silent and 0 < cut <= p1 - p0):
        bad(f"the sound is not continuous across the pause (before {same_before}, after {same_after}, "
            f"silence {silent}): it jumps or repeats")
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
    at 1
    local paused=""
    if [ $((n % 2)) = 0 ]; then key p; paused=" (paused)"; fi
    for k in $order; do xdotool keydown "$k"; sleep 0.15; done
    ended 3
    xdotool keyup q Return Alt_L
    echo "$order$paused: exit code $code ($(awk -v s="$start" -v now="$(date +%s.%N)" 'BEGIN { printf "%.1f", now - s }') s after the launch)"
    [ "$code" = 0 ] || fail "$order$paused: expected the process to end with code 0, got $code"
  done
  local how
  for how in Escape click alt+F4; do
    launch "paused-$how" SDL_AUDIODRIVER=dummy
    focus || continue
    at 1
    key p
    if [ "$how" = click ]; then xdotool mousemove 650 500 click 1; else xdotool key "$how"; fi
    ended 3
    echo "$how while paused: exit code $code"
    [ "$code" != 124 ] || fail "$how while paused did not end the run"
  done
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
    sleep 0.6
    shoot "resize-$step" "$wid"
    local f=$out/resize-$step.png got
    got=$(identify -format '%w %h' "$f")
    [ "$got" = "$w $h" ] || { fail "window $w x $h: the shot is $got"; continue; }
    pixel() { convert "$f" -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}' | head -1; }
    expect() {
      local c
      c=$(pixel "$1" "$2")
      [ "$c" = "$3" ] || fail "window $w x $h: ($1,$2) is $c, expected $3 ($4)"
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
    echo "window $w x $h: the frame at ($x,$y), $fw x $fh"
  done
  key Escape
  ended 5
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
