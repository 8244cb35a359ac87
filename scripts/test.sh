#!/usr/bin/env bash
# Builds both platforms and runs every test: the unit tests natively, with ASan and UBSan, and
# cross-built under Wine; then the native end-to-end checks (ctest). One line per suite, one
# closing count.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
log=build/test-logs
mkdir -p "$log"

fail() { echo "make test: $*" >&2; exit 1; }

scripts/deps.sh native || fail "native packages missing"
scripts/deps.sh windows || fail "Windows packages missing"
scripts/deps.sh web || fail "web packages missing"

build() {  # build DIR [--target T] CMAKE-ARGS...
  local dir=$1; shift
  local target=()
  if [ "${1:-}" = --target ]; then target=(--target "$2"); shift 2; fi
  cmake -S . -B "$dir" "$@" >"$log/$(basename "$dir")-configure.log" 2>&1 ||
    { cat "$log/$(basename "$dir")-configure.log"; fail "configuring $dir failed"; }
  cmake --build "$dir" -j"$jobs" "${target[@]}" >"$log/$(basename "$dir")-build.log" 2>&1 ||
    { tail -40 "$log/$(basename "$dir")-build.log"; fail "building $dir failed"; }
}

echo "== building: native, native with sanitizers, with ThreadSanitizer, Windows (i686)"
build build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build/asan --target vadurer_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_SANITIZE=ON
build build/tsan --target vadurer_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_TSAN=ON
build build/win -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

passed=0 failed=0 status=0
count() {  # count LOGFILE: adds the "LABEL: N passed, M failed" line to the totals
  local line
  line=$(grep -E '^[a-z]+: [0-9]+ passed, [0-9]+ failed' "$1" | tail -1)
  if [ -z "$line" ]; then status=1; failed=$((failed + 1)); return; fi
  passed=$((passed + $(echo "$line" | sed -E 's/^[a-z]+: ([0-9]+) passed.*/\1/')))
  failed=$((failed + $(echo "$line" | sed -E 's/.* ([0-9]+) failed.*/\1/')))
}
run() {  # run NAME COMMAND...: output to the terminal and to a log
  local name=$1; shift
  echo "== $name"
  "$@" 2>&1 | tee "$log/$name.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count "$log/$name.log"
}

run native env TESTS_LABEL=native build/linux/tests/vadurer_tests
run sanitizers env TESTS_LABEL=sanitizers VADURER_QUIT_RUNS=10 ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  build/asan/tests/vadurer_tests
# The tests whose code runs on more than one thread.
run threads env TESTS_LABEL=threads TSAN_OPTIONS=halt_on_error=1 \
  build/tsan/tests/vadurer_tests --gtest_filter='Kernel*:HostTest*:*Mixer*:*Stream*:*Sound*'
run windows scripts/wine-run.sh build/win/tests/vadurer_tests.exe

echo "== end-to-end under Wine: the whole production through the real DirectDraw and DirectSound"
if scripts/wine-run.sh --shell tests/e2e/production.sh wine build/win/e2e/production build/linux/assets \
    wine "$root/build/win/vadurer.exe" 2>&1 | tee "$log/wine-e2e.log" && [ "${PIPESTATUS[0]}" -eq 0 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "== the display under Wine: a known frame fullscreen, windowed and fullscreen again"
if scripts/wine-run.sh --shell tests/e2e/display.sh wine build/win/e2e/display wine "$root/build/win/tests/display_check.exe" 2>&1 |
    tee "$log/wine-display.log" && [ "${PIPESTATUS[0]}" -eq 0 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "== end-to-end (ctest)"
ctest --test-dir build/linux -E '^unit$' --output-on-failure 2>&1 | tee "$log/ctest.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log/ctest.log" | tail -1)
if [ -n "$line" ]; then
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
fi

echo "== the page in headless Chromium (emscripten build, served with cross-origin isolation)"
if JOBS=$jobs scripts/web.sh build/linux build/web >"$log/web-build.log" 2>&1; then
  run web node --experimental-websocket tests/web/page_test.mjs build/web build/web-stage/assets build/test-logs/web
else
  tail -30 "$log/web-build.log"
  echo "building the page failed"
  failed=$((failed + 1))
fi

[ "$failed" -eq 0 ] || status=1
echo "total: $passed passed, $failed failed"
exit $status
