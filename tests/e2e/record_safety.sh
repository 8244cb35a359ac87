#!/usr/bin/env bash
# A render never destroys: --record refuses at once what it cannot or may not write, writes beside
# the target until the video is whole, and a render stopped by a signal leaves the target as it
# was and nothing under its name.
#   tests/e2e/record_safety.sh OUT_DIR ASSET_DIR VADURER
set -u
out=$1 assets=$2 vadurer=$3
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
vadurer=$(cd "$(dirname "$vadurer")" && pwd)/$(basename "$vadurer")
cd "$assets" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
files() { (cd "$out" && ls -A | grep -v '\.log$' | sort | tr '\n' ' '); }
kinds='.mp4, .mkv, .mov (H.264 and AAC) or .webm (VP9 and Opus)'

# refused NAME CODE TEXT ARGS...: exits with CODE before rendering anything (within 5 s, where a
# render takes ten and more; the time is said), one line on stderr that says TEXT, and the folder as
# it was.
refused() {
  local name=$1 want=$2 text=$3; shift 3
  local before t0 code ms
  before=$(files)
  t0=$(date +%s%N)
  timeout 30 "$vadurer" "$@" 2>"$out/$name.log"
  code=$?
  ms=$((($(date +%s%N) - t0) / 1000000))
  if [ "$code" != "$want" ] || [ "$ms" -gt 5000 ] || [ "$(wc -l <"$out/$name.log")" != 1 ] ||
    ! grep -qF -- "$text" "$out/$name.log" || [ "$(files)" != "$before" ]; then
    fail "$name: exit $code after $ms ms, files now '$(files)', said: $(cat "$out/$name.log")"
  else
    echo "ok: $name: exit $code after $ms ms: $(cat "$out/$name.log")"
  fi
}

printf 'the video that was there\n' >"$out/old.mp4"
sum=$(sha256sum <"$out/old.mp4")
refused there 2 '"'"$out/old.mp4"'" is already there; give --force to replace it' --record "$out/old.mp4"
for name in clip.gif clip.avi clip; do
  refused "kind-$name" 2 "a video file's name ends in $kinds" --record "$out/$name" --force
done
refused force-alone 2 "--force goes with --record" --force

# stopped NAME SIGNAL: a render over old.mp4 (with --force) stopped once it is writing beside it
# (its unfinished file there for 20 s at most, and grown past its first bytes).
stopped() {
  local name=$1 sig=$2 pid t0 code ms
  "$vadurer" --record "$out/old.mp4" --force 2>"$out/$name.log" &
  pid=$!
  for _ in $(seq 200); do
    [ "$(stat -c %s "$out/old.unfinished-$pid.mp4" 2>/dev/null || echo 0)" -gt 65536 ] && break
    sleep 0.1
  done
  ls "$out" | grep -q "^old\.unfinished-$pid\.mp4$" || fail "$name: no old.unfinished-$pid.mp4 while rendering: $(files)"
  t0=$(date +%s%N)
  kill -"$sig" "$pid"
  wait "$pid"
  code=$?
  ms=$((($(date +%s%N) - t0) / 1000000))
  echo "$name: exit code $code $ms ms after SIG$sig; files: $(files); said: $(tail -1 "$out/$name.log")"
  [ "$(sha256sum <"$out/old.mp4")" = "$sum" ] || fail "$name: old.mp4 changed"
  case "$sig" in
    KILL)
      # Nothing can run after SIGKILL: the unfinished file stays, named for what it is.
      ls "$out" | grep -q "^old\.unfinished-$pid\.mp4$" || fail "$name: no old.unfinished-$pid.mp4 left: $(files)"
      rm -f "$out/old.unfinished-$pid.mp4"
      ;;
    *)
      [ "$code" = $((128 + $(kill -l "$sig"))) ] || fail "$name: expected exit code $((128 + $(kill -l "$sig"))), got $code"
      [ "$(files)" = "old.mp4 " ] || fail "$name: files left: $(files)"
      grep -q "stopped by signal .* \"$out/old.mp4\" is untouched" "$out/$name.log" || fail "$name: not said"
      ;;
  esac
}
stopped int INT
stopped term TERM
stopped kill KILL

echo "record safety: $failures failure(s)"
[ "$failures" -eq 0 ]
