#!/usr/bin/env bash
# Runs the production on an X display that is already there, looks at it, presses a real Escape
# key through X, and checks that it ended with Escape's virtual-key code (27) after showing the
# moving pattern.
#   tests/e2e/escape.sh OUT_DIR PROGRAM [ARGS...]     (PROGRAM may be "wine", ARGS the .exe)
set -u
out=$1; shift
mkdir -p "$out"
rm -f "$out/screenshot.png"
timeout 90 "$@" & pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name "Stop The Vadurer" 2>/dev/null | head -1)
if [ -z "$wid" ]; then
  echo "no window titled Stop The Vadurer appeared"
  kill $pid 2>/dev/null
  exit 1
fi
sleep 2
import -window root "$out/screenshot.png"
xdotool windowfocus --sync "$wid" 2>/dev/null
xdotool key --clearmodifiers Escape
wait $pid
code=$?
[ "$code" = 27 ] || { echo "expected exit code 27 after Escape, got $code"; exit 1; }
# The pattern has diagonal bands of 192 colours and a bar: a black or empty screen has a handful.
colours=$(convert "$out/screenshot.png" -format %k info:)
echo "exit code 27; screenshot $out/screenshot.png: $colours colours"
[ "$colours" -ge 64 ] || { echo "the screenshot does not show the pattern"; exit 1; }
