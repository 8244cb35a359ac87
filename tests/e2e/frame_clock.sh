# shellcheck shell=bash
# The production's own clock for the end-to-end scripts, as the SDL host's frame log tells it
# (VADURER_FRAME_LOG=FILE: a line for each frame the display ends, the wall clock's milliseconds
# and those of the clock the production reads, and the palette index the whole frame shows), so
# that a script does what it does at a moment of the production, wherever a slow start or a busy
# machine put that moment on the wall. That clock runs from the program's start and stands still
# while paused; the production's time is counted on it from the first frame, the opening fade's
# first, which comes once the pictures and sounds have loaded.
# Sourced; each function takes the log's path.
#   frame_count LOG               how many frames the display has ended
#   production_ms LOG             the production's milliseconds at the last frame ended (-1: none yet)
#   at_production MS LOG [PID]    waits until the production's clock has passed MS; false, said,
#                                 where no frame came for 30 s or the program PID ended first
#   frames_stopped LOG            waits until no frame has come for a second (a pause has taken);
#                                 false, said, where they still came after 15 s

frame_count() {
  if [ -f "$1" ]; then wc -l <"$1"; else echo 0; fi
}

production_ms() {
  local first= last=
  read -r _ first _ 2>/dev/null <"$1"
  last=$(tail -n 1 "$1" 2>/dev/null | awk 'NF == 3 { print $2 }')
  if [ -n "$first" ] && [ -n "$last" ]; then echo $((last - first)); else echo -1; fi
}

at_production() {
  local want=$1 log=$2 pid=${3:-} count last=-1 still=0
  while [ "$(production_ms "$log")" -lt "$want" ]; do
    if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
      echo "the program ended before the production's clock reached $want ms"
      return 1
    fi
    count=$(frame_count "$log")
    if [ "$count" = "$last" ]; then still=$((still + 1)); else still=0; last=$count; fi
    if [ "$still" -ge 1500 ]; then
      echo "no frame for 30 s; the production's clock stands at $(production_ms "$log") ms, short of $want ms"
      return 1
    fi
    sleep 0.02
  done
}

frames_stopped() {
  local log=$1 count last still=0
  last=$(frame_count "$log")
  for _ in $(seq 150); do
    sleep 0.1
    count=$(frame_count "$log")
    if [ "$count" = "$last" ]; then still=$((still + 1)); else still=0; last=$count; fi
    [ "$still" -ge 10 ] && return 0
  done
  echo "the frames still come 15 s later"
  return 1
}
