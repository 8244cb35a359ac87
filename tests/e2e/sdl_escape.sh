#!/usr/bin/env bash
# The production on the SDL host under a virtual X display: its window shows the moving pattern,
# a real Escape key press from X ends it, and the exit code is Escape's virtual-key code (27).
#   tests/e2e/sdl_escape.sh PROGRAM OUT_DIR
set -u
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
out=$2
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/screenshot.png"
export program out
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  cd "$out"
  SDL_AUDIODRIVER=dummy timeout 60 "$program" & pid=$!
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name "Stop The Vadurer" | head -1)
  [ -n "$wid" ] || { echo "no window titled Stop The Vadurer appeared"; kill $pid; exit 1; }
  sleep 1
  import -window root "$out/screenshot.png"
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers Escape
  wait $pid
  echo "exit code $?"
' | tee "$out/run.log"
code=$(sed -n 's/^exit code //p' "$out/run.log")
[ "$code" = 27 ] || { echo "expected exit code 27 after Escape, got '${code}'"; exit 1; }
[ -f "$out/screenshot.png" ] || { echo "no screenshot"; exit 1; }
# The pattern is diagonal bands from 192 colours and a bar: a black or blank window has a handful.
colours=$(convert "$out/screenshot.png" -format %k info:)
echo "screenshot: $colours colours"
[ "$colours" -ge 64 ] || { echo "the screenshot does not show the pattern"; exit 1; }
