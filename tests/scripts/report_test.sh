#!/usr/bin/env bash
# scripts/report.sh, which make test, make check and make dist-check count their results with: a
# check by its exit code, a suite by its count line (and its exit code after it), a suite that
# prints no count, one run beside others, a lane of them beside others, and the closing lines.
#   tests/scripts/report_test.sh SOURCE_DIR OUT_DIR
set -u
src=$1 out=$2
rm -rf "$out" && mkdir -p "$out"
failures=0
expect() {  # expect WHAT WANTED GOT
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: wanted '$2', got '$3'"; failures=$((failures + 1)); fi
}

run() {  # the report of a few checks and suites, in a shell of its own
  (
    . "$src/scripts/report.sh"
    report_start "$out/logs"
    check passes true
    check fails false
    gone() { echo "  a step"; exit 3; echo "never"; }
    check ends-early gone
    suite counted printf 'suite A 2 passed\nprog: 7 passed, 0 failed, 1 skipped\n'
    suite counted-failures sh -c 'echo "prog: 3 passed, 2 failed"; exit 1'
    suite crashed-after sh -c 'echo "prog: 4 passed, 0 failed"; exit 134'
    suite no-count sh -c 'echo "Segmentation fault"; exit 139'
    suite_beside beside sh -c 'sleep 0.2; echo "side: 5 passed, 0 failed"'
    check meanwhile true
    suite_joined beside
    lanework() { check lane-passes true; suite lane-counted sh -c 'echo "l: 2 passed, 1 failed"; exit 1'; }
    lane_beside lane lanework
    check meanwhile-too true
    lane_joined lane
    broken() { echo "  lost"; exit 5; }
    lane_beside broken-lane broken
    lane_joined broken-lane
    report_end sum
    echo "status $?"
  )
}
output=$(run)
echo "$output" >"$out/output.txt"
expect "the totals" "sum: 25 passed, 8 failed" "$(grep '^sum:' <<<"$output")"
expect "the failed, each named once" "failed: fails ends-early counted-failures crashed-after no-count lane-counted broken-lane" \
  "$(grep '^failed:' <<<"$output")"
expect "the closing status" "status 1" "$(tail -1 <<<"$output")"
expect "an exit inside a check ends that check alone" "0" "$(grep -c never "$out/logs/ends-early.log")"
expect "each output kept" "side: 5 passed, 0 failed" "$(cat "$out/logs/beside.log")"
expect "a lane's output, in order, after what ran meanwhile" "meanwhile-too lane lane-passes lane-counted" \
  "$(grep -xE '== (meanwhile-too|lane|lane-passes|lane-counted)( \(its.*)?' <<<"$output" | cut -d' ' -f2 | tr '\n' ' ' | sed 's/ $//')"
expect "a lane that ends before its count" "FAILED: broken-lane ended before its count" \
  "$(grep '^FAILED: broken-lane' <<<"$output")"
expect "a time for each" "14" "$(grep -c '^-- .* took [0-9]* s$' <<<"$output")"

all_pass=$(. "$src/scripts/report.sh"; report_start "$out/logs2"; check one true >/dev/null; report_end sum; echo "status $?")
expect "all passed" "sum: 1 passed, 0 failed|status 0" "$(tr '\n' '|' <<<"$all_pass" | sed 's/|$//')"
[ "$failures" = 0 ] && echo "the report counts as it should"
[ "$failures" = 0 ]
