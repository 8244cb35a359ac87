#!/usr/bin/env bash
# make check: the quick loop after a change. The native tree (build/linux) built; the native unit
# program run in as many parts at once as JOBS (GoogleTest's shards, each in a folder of its own
# under build/check, since tests write their files where they run); beside them the layering
# (tests/layering.sh) and the formatting (scripts/format.sh --check). One line per check, one
# closing count; logs in build/check-logs. make test runs all of this and everything else.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
[ "$jobs" -ge 1 ] 2>/dev/null || jobs=1
started=$SECONDS
# shellcheck source=scripts/report.sh
. scripts/report.sh
report_start build/check-logs

scripts/deps.sh native || { echo "make check: native packages missing"; exit 1; }
if [ ! -f build/linux/CMakeCache.txt ]; then
  # Debian's build flags, as make test builds this tree (scripts/debian-flags.sh).
  mapfile -t debian_flags < <(scripts/debian-flags.sh)
  cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo "${debian_flags[@]}" >"$report_log/configure.log" 2>&1 ||
    { cat "$report_log/configure.log"; echo "make check: configuring build/linux failed"; exit 1; }
fi
cmake --build build/linux -j"$jobs" >"$report_log/build.log" 2>&1 ||
  { tail -40 "$report_log/build.log"; echo "make check: building build/linux failed"; exit 1; }
echo "-- build/linux built in $((SECONDS - started)) s"

program=$root/build/linux/tests/vadurer_tests
for ((i = 0; i < jobs; ++i)); do
  mkdir -p "build/check/unit-$i"
  suite_beside "unit-$i" env -C "build/check/unit-$i" GTEST_TOTAL_SHARDS="$jobs" GTEST_SHARD_INDEX="$i" \
    TESTS_LABEL="unit-$i" "$program"
done
check format scripts/format.sh --check
check layering tests/layering.sh "$root" "$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/linux/CMakeCache.txt)"
for ((i = 0; i < jobs; ++i)); do
  suite_joined "unit-$i"
done
echo "$((SECONDS - started)) s in all"
report_end check
