# The reporting that make test, make check and make dist-check share (source it): each check or
# suite runs with its output shown and kept in a log folder, its time said, its result counted; at
# the end one line names what failed and one gives the totals.
#   report_start LOG_DIR
#   check NAME COMMAND...         one check: passes or fails by its exit code, which it returns
#   suite NAME COMMAND...         a program that prints "LABEL: N passed, M failed"; its counts join
#                                 the totals. No count, or a non-zero exit with no failure counted,
#                                 is one failure more.
#   suite_beside NAME COMMAND...  the same, started in the background, its output kept until
#   suite_joined NAME             prints and counts it
#   lane_beside NAME FUNCTION     FUNCTION's checks and suites, one after another in the background,
#   lane_joined NAME              their output kept until this prints it and adds their counts
#   ctests NAME CTEST-ARGS...     ctest's tests (of build/linux unless the args say otherwise), one by one
#   report_end LABEL              "failed: ..." and "LABEL: N passed, M failed"; false if any failed
# Each command runs on the left of a pipe, in a subshell of its own: an `exit` inside a shell
# function given as the command ends that check alone.

report_passed=0
report_failed=0
report_bad=()
declare -A report_beside_pids=() report_beside_starts=()

report_start() {
  report_log=$1
  mkdir -p "$report_log"
}

report_pass() { report_passed=$((report_passed + $1)); }
# report_fail NAME [N]: N failures more (1 by default), NAME named once among the failed.
report_fail() {
  report_failed=$((report_failed + ${2:-1}))
  local b
  for b in "${report_bad[@]}"; do [ "$b" = "$1" ] && return; done
  report_bad+=("$1")
}

report_took() { echo "-- $1 took $(($SECONDS - $2)) s"; }

check() {
  local name=$1 t0=$SECONDS rc
  shift
  echo "== $name"
  "$@" 2>&1 | tee "$report_log/$name.log"
  rc=${PIPESTATUS[0]}
  report_took "$name" "$t0"
  if [ "$rc" -eq 0 ]; then
    report_pass 1
  else
    echo "FAILED: $name (exit code $rc)"
    report_fail "$name"
  fi
  return "$rc"
}

suite() {
  local name=$1 t0=$SECONDS
  shift
  echo "== $name"
  "$@" 2>&1 | tee "$report_log/$name.log"
  report_counted "$name" "${PIPESTATUS[0]}" "$t0"
}

suite_beside() {
  local name=$1
  shift
  echo "== $name (beside what follows)"
  report_beside_starts[$name]=$SECONDS
  "$@" >"$report_log/$name.log" 2>&1 &
  report_beside_pids[$name]=$!
}

suite_joined() {
  local name=$1 rc=0
  wait "${report_beside_pids[$name]}" || rc=$?
  echo "== $name"
  cat "$report_log/$name.log"
  report_counted "$name" "$rc" "${report_beside_starts[$name]}"
}

lane_beside() {
  local name=$1 fn=$2
  echo "== $name (beside what follows)"
  report_beside_starts[$name]=$SECONDS
  rm -f "$report_log/$name.tally"
  (
    report_passed=0 report_failed=0 report_bad=()
    "$fn"
    echo "$report_passed $report_failed ${report_bad[*]}" >"$report_log/$name.tally"
  ) >"$report_log/$name.log" 2>&1 &
  report_beside_pids[$name]=$!
}

lane_joined() {
  local name=$1 passed failed bad b
  wait "${report_beside_pids[$name]}"
  echo "== $name (its checks ran beside the others)"
  cat "$report_log/$name.log"
  report_took "$name" "${report_beside_starts[$name]}"
  if ! read -r passed failed bad 2>/dev/null <"$report_log/$name.tally"; then
    echo "FAILED: $name ended before its count"
    report_fail "$name"
    return
  fi
  report_pass "$passed"
  report_failed=$((report_failed + failed))
  for b in $bad; do report_fail "$b" 0; done
}

# report_tally NAME EXIT-CODE PASSED FAILED WHEN: a count joins the totals; an exit code other
# than 0 where nothing failed fails NAME all the same (WHEN says what it came after).
report_tally() {
  report_pass "$3"
  if [ "$4" -gt 0 ]; then
    report_fail "$1" "$4"
  elif [ "$2" -ne 0 ]; then
    echo "FAILED: $1 exited with $2 $5"
    report_fail "$1"
  fi
}

# report_counted NAME EXIT-CODE START: the last count line of NAME's log joins the totals.
report_counted() {
  local name=$1 rc=$2 t0=$3 line n m
  report_took "$name" "$t0"
  line=$(grep -E '^[a-z0-9-]+: [0-9]+ passed, [0-9]+ failed' "$report_log/$name.log" | tail -1)
  if [ -z "$line" ]; then
    echo "FAILED: $name printed no count (exit code $rc)"
    report_fail "$name"
    return
  fi
  n=$(sed -E 's/^[a-z0-9-]+: ([0-9]+) passed.*/\1/' <<<"$line")
  m=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")
  report_tally "$name" "$rc" "$n" "$m" "after its count"
}

ctests() {
  local name=$1 t0=$SECONDS line total nbad rc
  shift
  echo "== $name (ctest)"
  ctest --test-dir build/linux --output-on-failure "$@" 2>&1 | tee "$report_log/$name.log"
  rc=${PIPESTATUS[0]}
  report_took "$name" "$t0"
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$report_log/$name.log" | tail -1)
  if [ -z "$line" ]; then
    echo "FAILED: $name printed no count (exit code $rc)"
    report_fail "$name"
    return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  nbad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  report_tally "$name" "$rc" $((total - nbad)) "$nbad" "with no test failed"
}

report_end() {
  [ ${#report_bad[@]} -eq 0 ] || echo "failed: ${report_bad[*]}"
  echo "$1: $report_passed passed, $report_failed failed"
  [ "$report_failed" -eq 0 ]
}
