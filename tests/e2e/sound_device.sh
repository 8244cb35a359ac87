#!/usr/bin/env bash
# The SDL host's sound when its device goes, on an X display that is already there, with a sound
# server of the test's own (PulseAudio, a null sink) that the test kills, stops and starts again;
# what the sink plays is recorded from its monitor (parec), and the music in it is found in the
# music's own file, sample for sample, so that each recorded moment says where in the music it is.
#   tests/e2e/sound_device.sh CASE OUT_DIR ASSET_DIR PROGRAM
# CASE:
#   restart  the server killed 9 s in and started again a second later: the sound comes back, and
#            it is where the clock is (what was missed is not played late); the run ends at once
#            on Escape.
#   stall    the server stopped (SIGSTOP) 9 s in for two seconds, so that the device's callback
#            stops coming while the clock runs: the same.
#   gone     the server killed 3 s in and never back: the run plays on, ends at once on Escape, and
#            says once that the sound is lost.
set -u
case=$1 out=$2 assets=$3 program=$4
mkdir -p "$out"
out=$(cd "$out" && pwd)
assets=$(cd "$assets" && pwd)
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
rm -f "$out"/*.raw "$out"/*.t "$out"/*.txt
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

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
at() {  # at SECONDS: sleeps until that many seconds after the launch
  local now
  now=$(date +%s.%N)
  sleep "$(awk -v t="$1" -v now="$now" -v s="$start" 'BEGIN { d = t - (now - s); print (d > 0 ? d : 0) }')"
}
mark() { date +%s.%N >"$out/$1.t"; }
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
  local n
  for n in $(seq $(($1 * 50))); do
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
(cd "$assets" && exec env SDL_AUDIODRIVER=pulseaudio "$program") \
  2> >(while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >"$out/stderr.txt") & pid=$!

case "$case" in
  restart | stall)
    at 9
    if [ "$case" = restart ]; then kill -9 "$(server_pid)"; else kill -STOP "$(server_pid)"; fi
    mark lost
    at 10.5
    if [ "$case" = restart ]; then server_up; else at 11; kill -CONT "$(server_pid)"; fi
    mark back
    at 12.8
    record B
    at 15.6
    escape
    ;;
  gone)
    at 3
    kill -9 "$(server_pid)"
    mark lost
    at 5.5
    escape
    ;;
esac
ended 5
sleep 0.3
cat "$out/stderr.txt"
echo "exit code $code, $after_ms ms after Escape"
[ "$code" = 27 ] || fail "expected Escape's 27, got $code"
[ "$after_ms" -le 1000 ] || fail "the run took $after_ms ms to end after Escape"
[ "$(grep -c 'vadurer: sound output lost;' "$out/stderr.txt")" = 1 ] || fail "the loss is not said once"
if [ "$case" = gone ]; then
  ! grep -q 'sound output back' "$out/stderr.txt" || fail "the sound came back from no server"
  echo "sound_device ($case): $failures failure(s)"
  [ "$failures" -eq 0 ]
  exit
fi
[ "$(grep -c 'vadurer: sound output back' "$out/stderr.txt")" = 1 ] || fail "the return is not said once"

python3 - "$out" "$assets/Ruzuzireve.wav" "$case" <<'EOF' || failures=$((failures + 1))
import struct, sys
out, wav, case = sys.argv[1], sys.argv[2], sys.argv[3]
rate, B = 44100, 4
raw = open(wav, "rb").read()
i = raw.find(b"data")
music = raw[i + 8:i + 8 + struct.unpack("<I", raw[i + 4:i + 8])[0]]
def t(name): return float(open(f"{out}/{name}.t").read())
start = t("start")
said = {}
for line in open(f"{out}/stderr.txt"):
    at, _, text = line.partition(" ")
    for what in ("lost", "back"):
        if f"sound output {what}" in text:
            said[what] = float(at) - start
def when(what):
    return f"{said[what]:.2f} s" if what in said else "never"
print(f"the server {'stopped' if case == 'stall' else 'killed'} at {t('lost') - start:.2f} s, back at "
      f"{t('back') - start:.2f} s; the program said the sound was lost at {when('lost')} and back at {when('back')}"
      + (f", {(said['back'] - (t('back') - start)) * 1000:.0f} ms after the server was back" if "back" in said else ""))
# Where in the music each recorded moment is: the music's start on the wall clock, in ms after the
# launch, found from 256 frames at a time (only music plays between the first effect and the bang,
# and after the bang).
def starts(name, lo, hi):
    rec = open(f"{out}/{name}.raw", "rb").read()
    t0 = t(name)
    found = []
    for at in range(int((start + lo - t0) * rate), int((start + hi - t0) * rate), rate // 10):
        key = rec[at * B:(at + 256) * B]
        if len(key) < 256 * B or key == b"\0" * len(key):
            continue
        k = music.find(key)
        while k >= 0 and k % B:
            k = music.find(key, k + 1)
        if k >= 0:
            found.append((t0 + at / rate - start) * 1000 - k // B * 1000 / rate)
    return found
before, after = starts("A", 7.4, 8.9), starts("B", 13.0, 15.4)
if len(before) < 5 or len(after) < 5:
    print(f"FAILED: too little of the music found in what was played ({len(before)} and {len(after)} moments)")
    sys.exit(1)
b, a = sorted(before)[len(before) // 2], sorted(after)[len(after) // 2]
print(f"the music's start on the wall clock: {b:.0f} ms after the launch before the loss, {a:.0f} ms after it: "
      f"{a - b:+.0f} ms ({len(before)} and {len(after)} moments found)")
# Played late, what was missed would put the music's start seconds later.
if abs(a - b) > 150:
    print("FAILED: the sound after its return is not where the clock is")
    sys.exit(1)
EOF
echo "sound_device ($case): $failures failure(s)"
[ "$failures" -eq 0 ]
