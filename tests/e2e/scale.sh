#!/usr/bin/env bash
# How the SDL host scales the display, on an X display that is already there (no window manager),
# with display_check's detailed frame (DISPLAY_CHECK_PATTERN=detail: lines, checks and dots a pixel
# wide inside a white border, its pixels written to frame.ppm).
#   tests/e2e/scale.sh CASE OUT_DIR DISPLAY_CHECK
# CASE:
#   fit     the default, over the whole screen (then the production's own window, then the whole
#           screen again): the frame where the table below says for this screen's size, black
#           around it; the screen's pixels there against frame.ppm scaled by ImageMagick the same
#           way (point sampling to the whole factor, then a triangle filter to the place); and the
#           mouse over the frame reported in the frame's own pixels.
#   whole   --scale whole over the whole screen: the largest whole factor, exactly.
#   window  --window, the window sized by hand to several sizes (a screen of 1920 x 1080): the frame
#           filling each at the largest size of its shape, compared the same way.
# Each screen is shot again until it shows what it must (10 s at most: display_check holds each step
# until told to go on, and a busy X server may take its time to show a new size); the last shot's
# faults are the failures.
set -u
case=$1 out=$2 program=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
rm -f "$out"/*.png
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# place WxH: "X Y W H K" of the frame in an output of W x H: its place and size, and the whole
# factor of the nearest-neighbour step before the smooth one. Worked by hand, not by the host's
# formula: the largest 4:3 rectangle, centred; K the smallest whole factor of 640 x 480 that
# reaches it.
place() {
  case "$case:$1" in
    fit:1366x768) echo "171 0 1024 768 2" ;;  # x1.6
    fit:1920x1080) echo "240 0 1440 1080 3" ;;  # x2.25
    fit:800x600) echo "0 0 800 600 2" ;;  # x1.25
    fit:320x240) echo "0 0 320 240 1" ;;  # half size: shrunk
    window:1280x960) echo "0 0 1280 960 2" ;;  # the window it opens with: x2, exact
    window:1000x700) echo "33 0 933 700 2" ;;
    window:1400x1000) echo "33 0 1333 1000 3" ;;
    window:500x400) echo "0 12 500 375 1" ;;
    whole:1366x768) echo "363 144 640 480 1" ;;
    whole:800x600) echo "80 60 640 480 1" ;;
    whole:1920x1080) echo "320 60 1280 960 2" ;;
    *) echo "" ;;
  esac
}

pixel() { convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}' | head -1; }

# matches NAME SHOT "X Y W H K": the shot shows the frame there, scaled as the host scales it.
matches() {
  local name=$1 shot=$2 x y w h k
  read -r x y w h k <<<"$3"
  local got=$out/$name-frame.png expected=$out/$name-expected.png sw sh
  read -r sw sh < <(identify -format '%w %h\n' "$shot")
  # Black around the frame; the frame's own border is white or a blend of it, never black.
  local mx=$((x + w / 2)) my=$((y + h / 2)) r=$((x + w - 1)) b=$((y + h - 1))
  [ "$x" -gt 0 ] && { [ "$(pixel "$shot" $((x - 1)) "$my")" = "#000000" ] || fail "$name: not black left of the frame"; }
  [ "$y" -gt 0 ] && { [ "$(pixel "$shot" "$mx" $((y - 1)))" = "#000000" ] || fail "$name: not black above the frame"; }
  [ "$r" -lt $((sw - 1)) ] && { [ "$(pixel "$shot" $((r + 1)) "$my")" = "#000000" ] || fail "$name: not black right of the frame"; }
  [ "$b" -lt $((sh - 1)) ] && { [ "$(pixel "$shot" "$mx" $((b + 1)))" = "#000000" ] || fail "$name: not black below the frame"; }
  local edge
  for edge in "$x $my" "$r $my" "$mx $y" "$mx $b"; do
    # shellcheck disable=SC2086
    [ "$(pixel "$shot" $edge)" != "#000000" ] || fail "$name: the frame's edge at ($edge) is black: it is not at ($x,$y) $w x $h"
  done
  convert "$shot" -crop "${w}x$h+$x+$y" +repage "$got"
  # ImageMagick widens a shrinking filter by the ratio it shrinks by; the blur undoes that, so that
  # the triangle blends the two source pixels around each output pixel's centre, as a renderer's
  # straight-line filter does.
  local blur
  blur=$(awk -v w="$w" -v k="$k" 'BEGIN { printf "%.6f", w / (640 * k) }')
  convert "$work/frame.ppm" -filter point -resize "$((640 * k))x$((480 * k))!" \
    -filter triangle -define filter:blur="$blur" -resize "${w}x$h!" "$expected"
  local rmse off exact=""
  rmse=$(compare -metric RMSE "$got" "$expected" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
  off=$(compare -fuzz 10% -metric AE "$got" "$expected" null: 2>&1 | cut -d' ' -f1)
  [ "$w" = $((640 * k)) ] && exact=$(compare -metric AE "$got" "$expected" null: 2>&1 | cut -d' ' -f1)
  local how="x$k, then smoothly to the place"
  [ -n "$exact" ] && how="x$k exactly"
  echo "$name: the frame at ($x,$y), $w x $h ($how): RMSE $rmse against ImageMagick's," \
    "$off pixels more than 10 % off${exact:+, $exact pixels not exact}"
  awk -v e="$rmse" 'BEGIN { exit !(e <= 0.01) }' || fail "$name: RMSE $rmse against the frame scaled by ImageMagick (at most 0.01)"
  [ "$off" -le $((w * h / 1000)) ] || fail "$name: $off pixels are more than 10 % off the frame scaled by ImageMagick"
  [ -z "$exact" ] || [ "$exact" = 0 ] || fail "$name: a whole factor that fills the place exactly is not exact ($exact pixels)"
}

# mouse NAME "X Y W H K" WINDOW_X WINDOW_Y: the pointer on the screen pixel over an image pixel's
# centre (at the frame's corners, its middle and elsewhere) is reported in the image's pixels: as
# that pixel, or where the frame is shrunk, one of the pixels the screen pixel covers.
mouse() {
  local name=$1 x y w h k wx=$3 wy=$4 point px py sx sy
  read -r x y w h k <<<"$2"
  for point in "0 0" "639 479" "320 240" "100 400"; do
    read -r px py <<<"$point"
    sx=$((wx + x + (2 * px + 1) * w / 1280)) sy=$((wy + y + (2 * py + 1) * h / 960))
    rm -f "$work/mouse.txt"
    xdotool mousemove "$sx" "$sy"
    local got=""
    for _ in $(seq 200); do
      got=$(cat "$work/mouse.txt" 2>/dev/null)
      [ -n "$got" ] && break
      sleep 0.05
    done
    # The image pixels under the screen pixel, from its left (top) edge to its right (bottom).
    if ! awk -v got="$got" -v px="$px" -v py="$py" -v sx=$((sx - wx - x)) -v sy=$((sy - wy - y)) -v w="$w" -v h="$h" '
      function lo(s, size, n) { return int(s * n / size) }
      function hi(s, size, n) { v = (s + 1) * n / size; return (v == int(v) ? v : int(v) + 1) - 1 }
      BEGIN {
        split(got, g, " ")
        if (got == "" || px < lo(sx, w, 640) || px > hi(sx, w, 640) || py < lo(sy, h, 480) || py > hi(sy, h, 480)) exit 1
        exit !(g[1] >= lo(sx, w, 640) && g[1] <= hi(sx, w, 640) && g[2] >= lo(sy, h, 480) && g[2] <= hi(sy, h, 480))
      }'; then
      fail "$name: the pointer at ($sx,$sy) over pixel ($px,$py) is reported at (${got:-nothing})"
    fi
  done
  echo "$name: the pointer over four of the frame's pixels is reported at those pixels"
}

# until_right SHOT TARGET CHECK ARGS...: shoots TARGET (a window, or root) into SHOT and runs the
# check (which says FAILED: lines) until it says none, 10 s at most; what it said last is shown,
# and its failures counted.
until_right() {
  local shot=$1 target=$2 said _
  shift 2
  for _ in $(seq 30); do
    import -window "$target" "$shot" 2>/dev/null
    said=$("$@" 2>&1)
    grep -q '^FAILED' <<<"$said" || break
    sleep 0.3
  done
  echo "$said"
  failures=$((failures + $(grep -c '^FAILED' <<<"$said")))
}
# sized_matches NAME SHOT WxH "X Y W H K": the shot is of the window at that size, and matches.
sized_matches() {
  local shot_size
  shot_size=$(identify -format '%wx%h' "$2" 2>/dev/null)
  [ "$shot_size" = "$3" ] || { fail "$1: the shot is ${shot_size:-nothing}"; return; }
  matches "$1" "$2" "$4"
}

wait_for() {  # wait_for FILE: up to 60 s
  for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done
  fail "display_check never wrote $(basename "$1")"
  return 1
}

screen_size=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
args=()
[ "$case" = whole ] && args=(--scale whole)
[ "$case" = window ] && args=(--window)
(cd "$work" && exec env DISPLAY_CHECK_PATTERN=detail SDL_AUDIODRIVER=dummy timeout 120 "$program" "${args[@]}") &
pid=$!

if [ "$case" = window ]; then
  wait_for "$work/shown-1" || exit 1
  wid=$(xdotool search --onlyvisible --name "Display Check" 2>/dev/null | head -1)
  [ -n "$wid" ] || { fail "the window never showed"; kill $pid; exit 1; }
  for size in 1280x960 1000x700 1400x1000 500x400; do
    [ "$size" = 1280x960 ] || xdotool windowsize "$wid" "${size%x*}" "${size#*x}"
    until_right "$out/window-$size.png" "$wid" sized_matches "window-$size" "$out/window-$size.png" "$size" "$(place "$size")"
    read -r wx wy < <(xdotool getwindowgeometry --shell "$wid" | awk -F= '/^X/ { x = $2 } /^Y/ { y = $2 } END { print x, y }')
    [ "$size" = 1000x700 ] && mouse "window-$size" "$(place "$size")" "$wx" "$wy"
  done
  touch "$work/next-1" "$work/next-2" "$work/next-3"
else
  expected=$(place "$screen_size")
  [ -n "$expected" ] || { echo "no place known for $case on a $screen_size screen"; kill $pid; exit 1; }
  for step in 1 2 3; do
    wait_for "$work/shown-$step" || { kill $pid; exit 1; }
    if [ "$step" != 2 ]; then  # step 2 is the production's own 640 x 480 window, never scaled
      until_right "$out/step-$step.png" root matches "$case-$screen_size-step-$step" "$out/step-$step.png" "$expected"
      [ "$step" = 1 ] && mouse "$case-$screen_size" "$expected" 0 0
    fi
    touch "$work/next-$step"
  done
fi
wait $pid
code=$?
rm -rf "$work"
[ "$code" = 0 ] || fail "display_check ended with $code"
[ $failures = 0 ] || { echo "scale ($case): $failures checks failed; screenshots in $out"; exit 1; }
echo "scale ($case): every check passed; screenshots in $out"
