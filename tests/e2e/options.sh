#!/usr/bin/env bash
# The options the process entry takes, where nothing is shown or recorded: --version (the name and
# the one version of CMakeLists.txt's project()), the licence on --help's last line, and --scale's
# values refused where they do not go, each with exit code 2 and the reason first.
#   tests/e2e/options.sh VADURER VERSION
set -u
vadurer=$1 version=$2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run ARGS...: the program's exit code in $code, its output in $stdout and $stderr.
run() {
  "$vadurer" "$@" >"$work/out" 2>"$work/err" </dev/null
  code=$?
  stdout=$(cat "$work/out") stderr=$(cat "$work/err")
}

run --version
[ "$code" = 0 ] || fail "--version: exit code $code, not 0"
[ "$stdout" = "vadurer $version" ] || fail "--version printed '$stdout', not 'vadurer $version'"
[ -z "$stderr" ] || fail "--version wrote to standard error: $stderr"
echo "--version: $stdout (exit $code)"

run --help
last=$(tail -1 <<<"$stdout")
[ "$code" = 0 ] || fail "--help: exit code $code, not 0"
grep -q "MIT licence" <<<"$last" || fail "--help's last line does not name the licence: $last"
grep -qF "$version" <<<"$last" || fail "--help's last line does not give the version: $last"
for want in "--scale fit" "--scale whole" "--scale N" "--version" "1920 x 1440" "webm"; do
  grep -qF -- "$want" <<<"$stdout" || fail "--help does not mention $want"
done
echo "--help ends: $last"

# refused WHY ARGS...: exit code 2, nothing started, the first line of standard error names WHY.
refused() {
  local why=$1; shift
  run "$@"
  local first
  first=$(head -1 <<<"$stderr")
  if [ "$code" != 2 ] || ! grep -qF -- "$why" <<<"$first"; then
    fail "$*: exit code $code, first line '$first' (expected 2 and '$why')"
  else
    echo "refused: $*: $first"
  fi
  [ ! -e "$work/v.mp4" ] || fail "$*: a video was written"
}
refused "a factor from 1 to 6, not '7'" --record "$work/v.mp4" --scale 7
refused "a factor from 1 to 6, not '0'" --scale 0 --record "$work/v.mp4"
refused "a factor from 1 to 6, not 'fit'" --record "$work/v.mp4" --scale fit
refused "a factor from 1 to 6, not '3x'" --record "$work/v.mp4" --scale 3x
refused "fit or whole" --scale 3
refused "fit or whole" --window --scale sharp
refused "--scale needs" --scale
refused "--scale does not go" --benchmark --scale 2

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all option checks passed"
