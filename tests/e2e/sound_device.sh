#!/usr/bin/env bash
# The SDL host's sound when its device goes, on an X display that is already there, with a sound
# server of the test's own (PulseAudio, a null sink) that the test kills, stops and starts again;
# what the sink plays is recorded from its monitor (parec), and the music in it is found in the
# music's own file, sample for sample, so that each recorded moment says where in the music it is.
#   tests/e2e/sound_device.sh CASE OUT_DIR ASSET_DIR PROGRAM
# CASE:
#   restart  the server killed 10 s into the production and started again 5 s later: the sound
#            comes back, and it is where the clock is (what was missed is not played late, which
#            would put the music 5 s behind); the run ends on Escape.
#   stall    the server stopped (SIGSTOP) 10 s in for 5 s, so that the device's callback stops
#            coming while the clock runs: the same.
#   gone     the server killed 3 s in and never back: the run plays on, ends on Escape, and says
#            once that the sound is lost.
# The moments are the production's own (its frame log, tests/e2e/frame_clock.sh); the time Escape
# takes to end the run is said and bounded at 5 s (its aim is make bench's).
set -u
case=$1 out=$2 assets=$3 program=$4
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
rm -f "$out"/*.raw "$out"/*.t "$out"/*.txt
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# shellcheck source=tests/e2e/frame_clock.sh
. "$(dirname "$0")/frame_clock.sh"
frames=$out/frames.txt

# The server's socket in a folder of the test's own: nothing else hears it, and it hears nothing
# else. A second client (silence, at a short latency) keeps the null sink waking often, as a
# sink with a real device does, so that a stream that joins is asked for sound at once.
export PULSE_RUNTIME_PATH=$out/pulse PULSE_SERVER=unix:$out/pulse/native
rm -rf "$PULSE_RUNTIME_PATH"
mkdir -p "$PULSE_RUNTIME_PATH"
server_up() {
  rm -f "$PULSE_RUNTIME_PATH/pid"
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink --load=module-native-protocol-unix \
    >>"$out/pulse.log" 2>&1 || { echo "the sound server did not start"; cat "$out/pulse.log"; exit 1; }
  pacat --raw --latency-msec=10 /dev/zero 2>/dev/null &
}
server_pid() { cat "$PULSE_RUNTIME_PATH/pid"; }
cleanup() {
  [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null
  kill -CONT "$(server_pid 2>/dev/null)" 2>/dev/null
  pulseaudio --kill 2>/dev/null
}
trap cleanup EXIT
# record NAME: what the sink plays from now on, into NAME.raw; when it started, in NAME.t.
record() {
  parec -d null.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
    >"$out/$1.raw" 2>/dev/null &
  date +%s.%N >"$out/$1.t"
}
# at MS: waits until the production's clock has passed MS; the run given up where it did not.
at() { at_production "$1" "$frames" "$pid" || { fail "the production did not reach $1 ms"; exit 1; }; }
mark() { date +%s.%N >"$out/$1.t"; }
# heard: what the program said of its output, as "HEARD LAST RETURN PROBLEMS LOST_AT BACK_AT":
# whether it held the sound lost while the test's fault held (a loss said from the fault to the
# server's return, or one said before the fault and not ended by then), how it last left it (lost
# or back), whether the fault's loss was said to end only once the server was back, any loss said
# twice in a row or return said with no loss, and when the fault's loss and its end were said
# (seconds since the epoch, "none" where not). A busy machine can stall the sound server beside the test's own fault,
# just before it too: each stall the program heard is said, and its end too.
heard() {
  local back=1e30
  [ -f "$out/back.t" ] && back=$(cat "$out/back.t")
  awk -v f="$(cat "$out/lost.t")" -v b="$back" '
    function fault_reached() { at_fault = 1; if (state == "lost") { heard = 1; lost_at = said_lost } }
    !at_fault && $1 >= f { fault_reached() }
    /vadurer: sound output lost;/ {
      if (state == "lost") bad = bad "+lost-twice"
      state = "lost"
      said_lost = $1
      if (!heard && $1 >= f && $1 <= b) { heard = 1; lost_at = $1 }
      next
    }
    /vadurer: sound output back/ {
      if (state != "lost") bad = bad "+back-without-loss"
      state = "back"
      if (heard == 1) { heard = 2; returned = ($1 >= b) ? "after" : "before"; back_at = $1 }
    }
    END {
      if (!at_fault) fault_reached()
      print (heard ? "heard" : "unheard"), (state ? state : "none"), (returned ? returned : "none"), (bad ? bad : "none"),
        (lost_at ? lost_at : "none"), (back_at ? back_at : "none") }
  ' "$out/stderr.txt"
}
escape() {
  local wid
  wid=$(xdotool search --onlyvisible --name "Stop The Vadurer" 2>/dev/null | head -1)
  [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null
  mark escape
  xdotool key Escape
}
# ended SECONDS: the exit code in $code once the program ends within that time (124 if not), and
# how long after Escape it ended in $after_ms.
ended() {
  local _
  for _ in $(seq $(($1 * 50))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"; wait "$pid" 2>/dev/null; code=124
  else
    wait "$pid"; code=$?
  fi
  after_ms=$(awk -v e="$(cat "$out/escape.t")" -v n="$(date +%s.%N)" 'BEGIN { printf "%d", (n - e) * 1000 }')
  pid=
}

server_up
sleep 2.5
record A
start=$(date +%s.%N)
echo "$start" >"$out/start.t"
# Each line of standard error with the moment it came.
(cd "$assets" && exec env SDL_AUDIODRIVER=pulseaudio VADURER_FRAME_LOG="$frames" "$program") \
  2> >(while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >"$out/stderr.txt") & pid=$!

# The timeline (app/Timeline.h): only the music plays from 7 s (the opening sound's end) to 11 s
# (the bang, 1.6 s long), from 12.6 s to 16 s, and from 17 s (the scene 3 sound's end) on.
case "$case" in
  restart | stall)
    at 10000
    # Each mark before its change: the program can say what it heard before a busy machine has
    # run the next command.
    mark lost
    if [ "$case" = restart ]; then kill -9 "$(server_pid)"; else kill -STOP "$(server_pid)"; fi
    sleep 5
    mark back
    if [ "$case" = restart ]; then server_up; else kill -CONT "$(server_pid)"; fi
    # B is recorded once the program has said the sound is back, from 17.5 s of the production on,
    # for 4 s of it.
    for _ in $(seq 300); do [ "$(heard | cut -d' ' -f3)" = after ] && break; sleep 0.1; done
    at 17500
    record B
    at "$(($(production_ms "$frames") + 4000))"
    escape
    ;;
  gone)
    at 3000
    mark lost
    kill -9 "$(server_pid)"
    at 5500
    escape
    ;;
esac
ended 10
sleep 0.3
cat "$out/stderr.txt"
echo "exit code $code, $after_ms ms after Escape"
[ "$code" = 27 ] || fail "expected Escape's 27, got $code"
[ "$after_ms" -le 5000 ] || fail "the run took $after_ms ms to end after Escape"
read -r heard last returned problems lost_at back_at < <(heard)
echo "what the program said of its output: $heard, last $last, the fault's loss ended $returned the server was back; problems: $problems"
[ "$heard" = heard ] || fail "the loss is not said while the fault holds"
[ "$problems" = none ] || fail "a loss or a return is said twice in a row ($problems)"
if [ "$case" = gone ]; then
  [ "$last" = lost ] || fail "the sound came back from no server"
  echo "sound_device ($case): $failures failure(s)"
  [ "$failures" -eq 0 ]
  exit
fi
[ "$returned" = after ] || fail "the return is not said once the server is back"
# A busy machine can stall the sound server again after the fault's return, and the program says
# so; the recording after the return (below) shows whether the music came back.
[ "$last" = back ] || echo "a loss said after the return had not ended at Escape (a stall of the busy machine's own)"

python3 - "$out" "$assets/Ruzuzireve.wav" "$case" "$lost_at" "$back_at" <<'EOF' || failures=$((failures + 1))
import struct, sys
out, wav, case = sys.argv[1], sys.argv[2], sys.argv[3]
rate, B = 44100, 4
raw = open(wav, "rb").read()
i = raw.find(b"data")
music = raw[i + 8:i + 8 + struct.unpack("<I", raw[i + 4:i + 8])[0]]
def t(name): return float(open(f"{out}/{name}.t").read())
start = t("start")
# When the program said the fault's loss and its end (heard, above).
said = {what: float(at) - start for what, at in zip(("lost", "back"), sys.argv[4:6]) if at != "none"}
def when(what):
    return f"{said[what]:.2f} s" if what in said else "never"
print(f"the server {'stopped' if case == 'stall' else 'killed'} at {t('lost') - start:.2f} s, back at "
      f"{t('back') - start:.2f} s; the program said the sound was lost at {when('lost')} and back at {when('back')}"
      + (f", {(said['back'] - (t('back') - start)) * 1000:.0f} ms after the server was back" if "back" in said else ""))
# Where in the music each recorded moment is: the music's start on the wall clock, in ms after the
# launch, from the 256 frames there, every 50 ms of the recording, where they are the music's own
# sample for sample (the music alone plays there, found once in its file). Before the loss from A
# while the server still ran; after the return from B, recorded from 17.5 s of the production.
def find(key, k=0):
    k = music.find(key, k)
    while k >= 0 and k % B:
        k = music.find(key, k + 1)
    return k
def starts(name, until=None):
    rec = open(f"{out}/{name}.raw", "rb").read()
    t0 = t(name)
    found = []
    for at in range(0, len(rec) // B - 256, rate // 20):
        if until is not None and t0 + at / rate > until:
            break
        key = rec[at * B:(at + 256) * B]
        if key == b"\0" * len(key):
            continue
        k = find(key)
        if k >= 0 and find(key, k + 1) < 0:
            found.append((t0 + at / rate - start) * 1000 - k // B * 1000 / rate)
    return found
before, after = starts("A", t("lost") - 0.3), starts("B")
if len(before) < 3:
    print(f"FAILED: the music is not in what was played before the loss ({len(before)} moments)")
    sys.exit(1)
if len(after) < 3:
    print(f"FAILED: the music did not come back ({len(after)} moments found after the return)")
    sys.exit(1)
b, a = sorted(before)[len(before) // 2], sorted(after)[len(after) // 2]
print(f"the music's start on the wall clock: {b:.0f} ms after the launch before the loss, {a:.0f} ms after it: "
      f"{a - b:+.0f} ms ({len(before)} and {len(after)} moments found)")
# Played late, what was missed would put the music's start 5 s later; the recordings' own start on
# a busy machine moves it by a fraction of that.
if abs(a - b) > 2500:
    print("FAILED: the sound after its return is not where the clock is")
    sys.exit(1)
EOF
echo "sound_device ($case): $failures failure(s)"
[ "$failures" -eq 0 ]
