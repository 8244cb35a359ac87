#!/usr/bin/env bash
# Screenshots of the display check program (display_check.cpp) on an X display that is already
# there: fullscreen, then windowed, then fullscreen again, each showing four quadrants in red,
# green, blue and yellow. Checks the colours where the frame must be, and black where the
# fullscreen borders must be. Each step is shot again until it shows what it must (10 s at most:
# the program holds the step until told to go on, and a busy X server may take its time to show
# it); the last shot's faults are the failures.
#   tests/e2e/display.sh KIND OUT_DIR PROGRAM [ARGS...]
# KIND: wine (inside Wine's 640 x 480 virtual desktop), sdl (the whole X screen, x2 expected on
# 1920 x 1080), sdl-window (the display in a desktop window).
set -u
kind=$1 out=$2; shift 2
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
rm -f "$out"/step-*.png
failures=0

colour() {  # colour FILE X Y: the pixel's #RRGGBB
  convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}' | head -1
}
expect() {  # expect FILE X Y #RRGGBB WHAT: says where the pixel is not that colour
  local got
  got=$(colour "$1" "$2" "$3")
  [ "$got" = "$4" ] || echo "$(basename "$1"): $5 at ($2,$3) is $got, expected $4"
}
quadrants() {  # quadrants FILE X0 Y0 W H: the frame's four quadrant centres, frame at (X0,Y0) W x H
  local f=$1 x=$2 y=$3 w=$4 h=$5
  expect "$f" $((x + w / 4)) $((y + h / 4)) "#FF0000" "top left"
  expect "$f" $((x + 3 * w / 4)) $((y + h / 4)) "#00FF00" "top right"
  expect "$f" $((x + w / 4)) $((y + 3 * h / 4)) "#0000FF" "bottom left"
  expect "$f" $((x + 3 * w / 4)) $((y + 3 * h / 4)) "#FFFF00" "bottom right"
}
wait_for() {  # wait_for FILE: up to 60 s
  for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done
  echo "the program never wrote $(basename "$1")"
  return 1
}
shoot() {  # shoot STEP: the screen (Wine: its desktop window) into step-STEP.png
  local target=root
  if [ "$kind" = wine ]; then
    target=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1)
    [ -n "$target" ] || target=root
  elif [ "$kind" = sdl-window ] || [ "$1" = 2 ]; then
    target=$(xdotool search --onlyvisible --name "Display Check" 2>/dev/null | head -1)
  fi
  import -window "$target" "$out/step-$1.png" 2>/dev/null
}
# faults STEP: what is wrong with the step's shot; nothing where it shows what it must.
faults() {
  local step=$1 f=$out/step-$1.png w h
  read -r w h < <(identify -format '%w %h\n' "$f" 2>/dev/null)
  [ -n "${h:-}" ] || { echo "step $step: no screenshot"; return; }
  if [ "$kind" = wine ]; then
    if [ "$step" = 2 ]; then
      # The captioned window of 646 x 505 from the desktop's corner; its client area starts a few
      # pixels in, and the quadrant centres are far from any edge.
      quadrants "$f" 3 22 640 480
    else
      quadrants "$f" 0 0 640 480
      [ "$(convert "$f" -format %k info:)" = 4 ] || echo "step $step: not exactly the four colours"
    fi
  elif [ "$kind" = sdl-window ] || [ "$step" = 2 ]; then
    quadrants "$f" 0 0 "$w" "$h"
  else
    # Whole factor 2 on 1920 x 1080: the frame at (320,60) to (1599,1019), black around it.
    quadrants "$f" 320 60 1280 960
    expect "$f" 320 60 "#FF0000" "the frame's first pixel"
    expect "$f" 1599 1019 "#FFFF00" "the frame's last pixel"
    expect "$f" 319 60 "#000000" "the left border"
    expect "$f" 1600 1019 "#000000" "the right border"
    expect "$f" 960 59 "#000000" "the top border"
    expect "$f" 960 1020 "#000000" "the bottom border"
    [ "$(convert "$f" -format %k info:)" = 5 ] || echo "step $step: not exactly the four colours and black"
  fi
}

(cd "$work" && exec timeout 120 "$@") & pid=$!
for step in 1 2 3; do
  wait_for "$work/shown-$step" || { kill $pid 2>/dev/null; exit 1; }
  for try in $(seq 30); do
    shoot $step
    problems=$(faults $step)
    [ -z "$problems" ] && break
    sleep 0.3
  done
  f=$out/step-$step.png
  echo "step $step: $(identify -format '%w x %h' "$f" 2>/dev/null), $(convert "$f" -format %k info: 2>/dev/null) colours (shot $try)"
  if [ -n "$problems" ]; then
    echo "$problems"
    failures=$((failures + $(wc -l <<<"$problems")))
  fi
  touch "$work/next-$step"
done
wait $pid
code=$?
rm -rf "$work"
[ "$code" = 0 ] || { echo "the program ended with $code"; failures=$((failures + 1)); }
[ $failures = 0 ] || { echo "$failures checks failed; screenshots in $out"; exit 1; }
echo "display ($kind): every check passed; screenshots in $out"
