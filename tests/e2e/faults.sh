#!/usr/bin/env bash
# The faults people meet on the SDL host, on an X display that is already there (no window
# manager): signals at each kind of moment, a kill while a box is up, boxes answered with real key
# presses (xdotool), and F12's result shown over the frame.
#   tests/e2e/faults.sh CASE OUT_DIR ASSET_DIR PROGRAM
# CASE:
#   signals     SIGTERM, SIGINT and SIGHUP each in a fade (the opening), a pause, a box (a picture
#               missing) and a frame loop (scene 1): the run ends as a closed window ends it, with
#               exit code 128 + the signal, and leaves no process and no window. How long it takes
#               is said (within 5 s, or it is a failure); the aim, 200 ms, is make bench's
#               (bench/production.sh), where nothing else shares the machine.
#   kill-box    SIGKILL while the box is up: no process and no window of it is left.
#   box-keys    the pictures' box: Return goes on (the run plays, then Escape ends it with 27),
#               Escape stops (the run ends); the sound's assertion box: Escape is Abort (exit 3),
#               Tab to Ignore and Space goes on; the sound is named on standard error.
#   no-sound    no sound server and an ALSA with no device: standard error says once that the run
#               plays without sound, and holds none of ALSA's own error lines.
#   notice      F12 while paused, once where no file can be made and once where it can: the result
#               shows over the frame's bottom left corner and goes again (its two seconds are the
#               host's unit test's), the rest of the frame untouched; standard error says the same.
# The moments are the production's own (its frame log, tests/e2e/frame_clock.sh) or what shows
# (a window, a box), never a second of the wall; a wait for the program is bounded generously.
set -u
case=$1 out=$2 assets=$3 program=$4
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
title="Stop The Vadurer"
# shellcheck source=tests/e2e/frame_clock.sh
. "$(dirname "$0")/frame_clock.sh"

# A copy of the assets without some of them.
without() {
  local dir=$out/without-$1
  rm -rf "$dir"; mkdir -p "$dir"
  cp "$assets"/* "$dir"/
  rm -f "$dir/$1"
  echo "$dir"
}

# launch NAME DIR [VAR=VALUE...]: PROGRAM from DIR in a session of its own (its process group is
# its pid), its frame log in $frames; pid in $pid.
launch() {
  local name=$1 dir=$2; shift 2
  frames=$out/$name-frames.txt
  rm -f "$frames"
  (cd "$dir" && exec env SDL_AUDIODRIVER=dummy VADURER_FRAME_LOG="$frames" "$@" setsid "$program") \
    2>"$out/$name-stderr.txt" & pid=$!
}
# at MS: waits until the production's clock has passed MS; false, said, where it did not.
at() { at_production "$1" "$frames" "$pid"; }
# shown NAME: waits until a window of that name shows; its id in $wid.
shown() {
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1)
  [ -n "$wid" ]
}
# boxed CAPTION: waits until a box of that caption shows (the pictures' box has the production's
# own title: the smaller window of that name), and gives it the keyboard; its id in $box. False,
# and what was shown said, where none did within 30 s.
boxed() {
  local ids id size best _
  for _ in $(seq 300); do
    box='' best=''
    ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null)
    for id in $ids; do
      size=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } END { print w * h }')
      if [ -z "$best" ] || [ "${size:-0}" -lt "$best" ]; then best=${size:-0} box=$id; fi
    done
    if [ -n "$box" ] && { [ "$1" != "$title" ] || [ "$(wc -w <<<"$ids")" -ge 2 ]; }; then
      xdotool windowfocus --sync "$box" 2>/dev/null
      return 0
    fi
    sleep 0.1
  done
  echo "no box \"$1\": windows of that name shown: ${ids:-none}"
  return 1
}
# ended SECONDS: the exit code in $code once the program ends within that time (124 if not).
ended() {
  (sleep "$1"; kill -9 "$pid" 2>/dev/null) &
  local watchdog=$!
  wait "$pid"
  code=$?
  kill "$watchdog" 2>/dev/null
  wait "$watchdog" 2>/dev/null
  [ "$code" = 137 ] && code=124
}
# nothing_left WHAT: no process of the program's group and no window of its name remain (the X
# server given 5 s to take the windows of a client that has gone).
nothing_left() {
  local left _
  for _ in $(seq 50); do
    left=$(pgrep -g "$pid" 2>/dev/null | tr '\n' ' ')$(xdotool search --name "$title" 2>/dev/null)
    [ -z "$left" ] && return 0
    sleep 0.1
  done
  left=$(pgrep -g "$pid" 2>/dev/null | tr '\n' ' ')
  [ -z "$left" ] || { fail "$1: processes left behind: $left"; pkill -9 -g "$pid" 2>/dev/null; }
  [ -z "$(xdotool search --name "$title" 2>/dev/null)" ] || fail "$1: a window is left on the screen"
}
key() { xdotool key "$@"; sleep 0.3; }

# signal_at NAME SIGNAL MOMENT: the run ended by the signal at that moment: 1.5 s into the opening
# fade, paused there, with the pictures' box up, 8.5 s in (scene 1's frame loop).
signal_at() {
  local name=$1 sig=$2 moment=$3 dir=$assets
  [ "$moment" = box ] && dir=$(without SS.bmp)
  launch "$name" "$dir"
  case "$moment" in
    fade) at 1500 || { fail "$name: the opening never played"; return; } ;;
    pause) shown "$title" || { fail "$name: no window"; return; }
      xdotool windowfocus --sync "$wid" 2>/dev/null
      at 1500 || { fail "$name: the opening never played"; return; }
      key p
      frames_stopped "$frames" || { fail "$name: P did not pause"; return; } ;;
    box) boxed "$title" || { fail "$name: the pictures' box never showed"; return; } ;;
    frame) at 8500 || { fail "$name: scene 1 never played"; return; } ;;
  esac
  local t0 t1 n want
  t0=$(date +%s%N)
  kill -"$sig" "$pid"
  ended 10
  t1=$(date +%s%N)
  n=$(((t1 - t0) / 1000000))
  want=$((128 + $(kill -l "$sig")))
  echo "$sig in a $moment: exit code $code after $n ms"
  [ "$code" = "$want" ] || fail "$name: expected exit code $want, got $code"
  [ "$n" -le 5000 ] || fail "$name: the run took $n ms to end after the signal"
  nothing_left "$name"
}

signals() {
  local sig moment
  for moment in fade pause box frame; do
    for sig in TERM INT HUP; do
      signal_at "$sig-$moment" "$sig" "$moment"
    done
  done
}

kill-box() {
  launch kill-box "$(without SS.bmp)"
  boxed "$title" || fail "kill-box: the box is not up"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null
  nothing_left kill-box
  echo "SIGKILL while the box was up: nothing left"
}

box-keys() {
  local dir
  dir=$(without SS.bmp)
  # Return: the default button, OK, goes on without the picture.
  launch box-return "$dir"
  boxed "$title" || fail "box-return: the box never showed"
  key Return
  at 500 || fail "Return on the pictures' box did not go on"
  shown "$title" && xdotool windowfocus --sync "$wid" 2>/dev/null
  key Escape
  ended 10
  echo "the pictures' box, Return, then Escape: exit code $code"
  [ "$code" = 27 ] || fail "Return then Escape: expected 27, got $code"
  # Escape: Cancel, the run stops.
  launch box-escape "$dir"
  boxed "$title" || fail "box-escape: the box never showed"
  key Escape
  ended 10
  echo "the pictures' box, Escape: exit code $code"
  [ "$code" != 124 ] || fail "Escape on the pictures' box did not stop the run"
  grep -q 'picture "SS.bmp" did not load' "$out/box-escape-stderr.txt" || fail "the picture is not named on stderr"

  dir=$(without Bang.wav)
  # Escape on the assertion's box: Abort, the button that stops.
  launch sound-escape "$dir"
  boxed "Assertion failed" || fail "sound-escape: the box never showed"
  key Escape
  ended 10
  echo "the sound's box, Escape: exit code $code"
  [ "$code" = 3 ] || fail "Escape on the assertion's box: expected Abort's 3, got $code"
  grep -q '^vadurer: "Bang.wav" did not load: No such file or directory' "$out/sound-escape-stderr.txt" ||
    fail "the missing sound is not named on stderr: $(cat "$out/sound-escape-stderr.txt")"
  # Tab, Tab: Ignore; Space presses it, and the run goes on.
  launch sound-ignore "$dir"
  boxed "Assertion failed" || fail "sound-ignore: the box never showed"
  key Tab
  key Tab
  key space
  at 500 || fail "Ignore, chosen with Tab and Space, did not go on"
  shown "$title" && xdotool windowfocus --sync "$wid" 2>/dev/null
  key Escape
  ended 10
  echo "the sound's box, Tab Tab Space, then Escape: exit code $code"
  [ "$code" = 27 ] || fail "Ignore then Escape: expected 27, got $code"
}

# F12 while paused: the notice over the frame's bottom left corner, looked for in the screen's
# dumps from the key press on, then gone again. The frame fills the display (a 4:3 screen): the
# notice in its bottom 60 rows, the rest above them.
read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
# differ GEOMETRY A B: how many pixels of that part of the screen differ between two dumps.
differ() { compare -metric AE "$2[$1]" "$3[$1]" null: 2>&1 | cut -d' ' -f1; }
corner() { differ "${screen_w}x60+0+$((screen_h - 60))" "$1" "$2"; }
above() { differ "${screen_w}x$((screen_h - 128))+0+0" "$1" "$2"; }
notice_of() {
  local name=$1 pictures=$2 home=$out/home-$1 before with after pressed n went=""
  before=$out/$name-before.png with=$out/$name-with.png after=$out/$name-after.png
  rm -rf "$home" "$with" "$after"; mkdir -p "$home"
  launch "$name" "$assets" HOME="$home" XDG_CONFIG_HOME="$home" XDG_PICTURES_DIR="$pictures"
  shown "$title" || { fail "$name: no window"; return; }
  xdotool windowfocus --sync "$wid" 2>/dev/null
  at 2000 || { fail "$name: the opening never played"; return; }
  key p
  frames_stopped "$frames" || { fail "$name: P did not pause"; return; }
  import -window root "$before" 2>/dev/null
  pressed=$(date +%s%N)
  xdotool key F12
  # The notice shows for 2 s of the wall clock: the screen dumped as fast as X gives it (xwd) for
  # 3 s from the key press, and the dumps looked at afterwards, so that however long a look takes
  # on a busy machine, some dump fell while the notice showed.
  local dumps=() dump
  for n in $(seq 100); do
    xwd -root -silent >"$out/$name-dump-$n.xwd" && dumps+=("$out/$name-dump-$n.xwd")
    [ $((($(date +%s%N) - pressed) / 1000000)) -ge 3000 ] && break
    sleep 0.05
  done
  for dump in "${dumps[@]}"; do
    [ "$(corner "$dump" "$before")" -gt 1000 ] 2>/dev/null && { convert "$dump" "$with"; break; }
  done
  rm -f "${dumps[@]}"
  for n in $(seq 100); do
    sleep 0.1
    import -window root "$after" 2>/dev/null
    [ "$(corner "$after" "$before")" = 0 ] && { went=$((($(date +%s%N) - pressed) / 1000000)); break; }
  done
  key Escape
  ended 10
  [ -f "$with" ] || { fail "$name: no notice over the frame's bottom left corner"; return; }
  echo "$name: the frame's bottom edge differed in $(corner "$with" "$before") pixels while the notice" \
    "showed, the rest in $(above "$with" "$before"); the notice gone ${went:+$went ms after F12}"
  [ "$(above "$with" "$before")" = 0 ] || fail "$name: the notice changed more than its corner"
  [ -n "$went" ] || fail "$name: the notice was still there after 100 looks, $((($(date +%s%N) - pressed) / 1000000)) ms after F12"
}

notice() {
  notice_of notice-fails /proc
  grep -q "^vadurer: no screenshot: /proc/vadurer-" "$out/notice-fails-stderr.txt" || fail "no reason on stderr"
  mkdir -p "$out/pictures"
  rm -f "$out"/pictures/*.png
  notice_of notice-saved "$out/pictures"
  grep -q "^vadurer: screenshot written to $out/pictures/vadurer-" "$out/notice-saved-stderr.txt" ||
    fail "no screenshot said on stderr"
  [ "$(corner "$out/notice-fails-with.png" "$out/notice-saved-with.png")" != 0 ] || fail "the two notices say the same"
}

no-sound() {
  : >"$out/no-devices.conf"
  launch no-sound "$assets" SDL_AUDIODRIVER= PULSE_SERVER=unix:"$out/no-server" ALSA_CONFIG_PATH="$out/no-devices.conf"
  shown "$title" && xdotool windowfocus --sync "$wid" 2>/dev/null
  at 2000 || fail "no-sound: the opening never played"
  key Escape
  ended 10
  cat "$out/no-sound-stderr.txt"
  [ "$code" = 27 ] || fail "no-sound: expected Escape's 27, got $code"
  [ "$(grep -c 'playing without sound' "$out/no-sound-stderr.txt")" = 1 ] || fail "no-sound: not said once"
  [ "$(grep -c '^ALSA lib' "$out/no-sound-stderr.txt")" = 0 ] || fail "no-sound: ALSA's own lines on stderr"
}

"$case"
echo "faults ($case): $failures failure(s); output in $out"
[ "$failures" -eq 0 ]
