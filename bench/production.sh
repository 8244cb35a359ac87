#!/usr/bin/env bash
# The whole production, three ways, each figure measured here and now: the benchmark mode's table,
# the video recorder's speed against the production's length (at its own size and enlarged three
# times as H.264, and as VP9), and on the SDL host (a virtual X server, no window manager) the time
# from the launch to the first presented frame, in steps, and the time a run takes to end after a
# signal and after Escape, each beside its aim.
#   bench/production.sh BUILD_DIR   (the program and its assets built there: vadurer, assets/)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
source "$root/scripts/xvfb.sh"

# bench/production.sh BUILD_DIR --ends, on an X server: runs ended 2 s into the production (the
# opening's frame loop, its clock read from the frame log) by SIGTERM, SIGINT, SIGHUP and a real
# Escape key press, three of each; how long from the signal or the key to the process's end.
if [ "${2:-}" = --ends ]; then
  # shellcheck source=tests/e2e/frame_clock.sh
  source "$root/tests/e2e/frame_clock.sh"
  work=$(mktemp -d)
  for how in TERM INT HUP Escape; do
    figures=()
    for _ in 1 2 3; do
      rm -f "$work/frames.txt"
      (cd "$build/assets" && exec env SDL_AUDIODRIVER=dummy VADURER_FRAME_LOG="$work/frames.txt" \
        timeout 60 "$build/vadurer") 2>/dev/null &
      pid=$!
      at_production 2000 "$work/frames.txt" "$pid" >/dev/null || { kill "$pid" 2>/dev/null; wait "$pid"; continue; }
      if [ "$how" = Escape ]; then
        wid=$(xdotool search --onlyvisible --name "Stop The Vadurer" 2>/dev/null | head -1)
        [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null
        t0=$(date +%s%N)
        xdotool key Escape
      else
        t0=$(date +%s%N)
        kill -"$how" "$pid"
      fi
      wait "$pid"
      figures+=("$((($(date +%s%N) - t0) / 1000000))")
    done
    aim=200
    [ "$how" = Escape ] && aim=1000
    echo "$how 2 s in: the run ended ${figures[*]} ms after it (aim: at most $aim ms)"
  done
  rm -rf "$work"
  exit 0
fi
cd "$build/assets" || { echo "no assets in $build"; exit 1; }
echo "== the machine's load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes) on $(nproc) cores"

echo "== vadurer --benchmark"
"$build/vadurer" --benchmark

# record FILE ARGS...: the render's speed against the production's length, and the processor time
# it took (the recorder and ffmpeg together), which says what two cores of its own would give where
# other work shares the machine.
record() {
  local video=$1; shift
  local start end length
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$build/vadurer" --record "$video" --force "$@" 2>/dev/null || echo "the render failed"
  end=$(date +%s.%N)
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video" 2>/dev/null || echo 0)
  rm -f "$video"
  read -r user sys <"$work/cpu"
  awk -v s="$start" -v e="$end" -v l="$length" -v u="$user" -v k="$sys" 'BEGIN {
    printf "%.2f s of video in %.2f s: %.1fx real time; %.1f s of processor time (%.1f user, %.1f system): at most %.1fx real time on two free cores\n",
      l, e - s, (e > s ? l / (e - s) : 0), u + k, u, k, (u + k > 0 ? 2 * l / (u + k) : 0) }'
}
work=$(mktemp -d)
echo "== vadurer --record (H.264 at 60 frames a second, 640 x 480; at least 10x real time on two cores)"
record "$work/x1.mp4"
echo "== vadurer --record --scale 3 (1920 x 1440, for video sites; at least real time on two cores)"
record "$work/x3.mp4" --scale 3
echo "== vadurer --record FILE.webm (VP9 and Opus, 640 x 480)"
record "$work/x1.webm"
rm -rf "$work"

echo "== launch to the first presented frame (SDL host, Xvfb 1024 x 768), five runs"
for _ in 1 2 3 4 5; do
  on_xvfb 1024x768 bash -c 'VADURER_REPORT_FIRST_FRAME=1 VADURER_LAUNCHED_AT=$(date +%s%N) SDL_AUDIODRIVER=dummy \
    timeout 5 "$0"' "$build/vadurer" 2>&1 | grep 'first frame'
done

echo "== the time a run takes to end (SDL host, Xvfb 1024 x 768), after each signal and after Escape, three runs each"
on_xvfb 1024x768 "$root/bench/production.sh" "$build" --ends
