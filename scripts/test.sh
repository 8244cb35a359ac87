#!/usr/bin/env bash
# Builds every tree and runs every test: the unit program natively, with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer, its threaded suites with ThreadSanitizer, and
# cross-built under Wine; the whole production and the display under Wine; the native end-to-end
# checks (ctest); the page in Chromium, Firefox and WebKitGTK, served with the isolation headers
# and without, and on a phone and a tablet.
# One line per suite, one closing count; a suite that fails, crashes or prints no count is named
# at the end.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
log=build/test-logs
mkdir -p "$log"
started=$(date +%s)

fail() { echo "make test: $*" >&2; exit 1; }

scripts/deps.sh native || fail "native packages missing"
# The Windows tests run the i686 tree (what ships) where this machine runs 32-bit programs and the
# 32-bit Wine can be installed, and the x86_64 tree under the 64-bit Wine where not; the releases'
# checks below take the same route.
route=$(scripts/windows-route.sh --install build) || fail "Windows packages missing"
export VADURER_WINDOWS_ARCH=$route
scripts/deps.sh web || fail "web packages missing"

ccache_counts() { ccache --print-stats 2>/dev/null | awk '$1 ~ /^(direct|preprocessed)_cache_hit$/ { h += $2 }
  $1 == "cache_miss" { m += $2 } END { print h + 0, m + 0 }'; }
read -r hits0 misses0 < <(ccache_counts)

build() {  # build DIR [--target T] CMAKE-ARGS...
  local dir=$1; shift
  local target=()
  if [ "${1:-}" = --target ]; then target=(--target "$2"); shift 2; fi
  local t0=$SECONDS
  cmake -S . -B "$dir" "$@" >"$log/$(basename "$dir")-configure.log" 2>&1 ||
    { cat "$log/$(basename "$dir")-configure.log"; fail "configuring $dir failed"; }
  cmake --build "$dir" -j"$jobs" "${target[@]}" >"$log/$(basename "$dir")-build.log" 2>&1 ||
    { tail -40 "$log/$(basename "$dir")-build.log"; fail "building $dir failed"; }
  echo "-- $dir built in $((SECONDS - t0)) s"
}

echo "== building: native, native with sanitizers, with ThreadSanitizer, Windows ($route)"
# The native tree with Debian's build flags, as the release is built (scripts/debian-flags.sh):
# make dist-check's release tree then compiles nothing the cache does not have.
mapfile -t debian_flags < <(scripts/debian-flags.sh)
build build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo "${debian_flags[@]}"
# The sanitizer and Windows trees, which only make test builds, compile the unit program eight
# files to a unit (half the time); the native tree keeps a unit a file, so that each file is still
# seen to compile alone.
unity=-DVADURER_UNITY_TESTS=ON
build build/asan --target vadurer_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_SANITIZE=ON "$unity"
build build/tsan --target vadurer_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_TSAN=ON "$unity"
# The Windows program's icon is drawn by the native asset maker.
icon_maker=-DVADURER_ASSETMAKER=$root/build/linux/tools/assetmaker
if [ "$route" = i686 ]; then
  build build/win -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake "$icon_maker" "$unity"
  wintree=build/win
else
  # What ships is still built, though it cannot run here.
  build build/win --target vadurer -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    "$icon_maker"
  build build/win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake "$icon_maker" \
    "$unity"
  wintree=build/win64
fi
read -r hits1 misses1 < <(ccache_counts)
echo "built in $(( $(date +%s) - started )) s; compiler cache: $((hits1 - hits0)) hits, $((misses1 - misses0)) misses"

# check, suite, suite_beside and suite_joined, ctests, report_end: scripts/report.sh.
# shellcheck source=scripts/report.sh
. scripts/report.sh
report_start "$log"
wine_run=(scripts/wine-run.sh --arch "$route")
wine=$("${wine_run[@]}" --loader)
# under_wine NAME SCRIPT KIND ARGS... PROGRAM.exe: an end-to-end script in Wine's setting, the
# program started through the route's loader.
under_wine() {
  local name=$1 script=$2; shift 2
  local args=("$@")
  local exe=${args[-1]}
  unset 'args[-1]'
  check "$name" "${wine_run[@]}" --shell "$script" "${args[@]}" "$wine" "$root/$exe"
}

# The unit programs write their files where they run, and run beside each other: a folder each.
run_in() { mkdir -p "build/test-run/$1" && echo "build/test-run/$1"; }
# The page in Chromium, Firefox and WebKitGTK, served with the isolation headers and plain, in two
# lanes of one engine at a time. The page's suites mostly wait on the production's clock.
page=tests/platform/host/web
page_test=(node $page/page_test.mjs build/web build/web-stage/assets)
pages_chromium_webkit() {
  suite web-release node $page/release_test.mjs "$log/web-release"
  suite web-chromium "${page_test[@]}" "$log/web-chromium" --engine chromium
  # As most static hosts serve it: no headers, the page's own service worker isolates it.
  suite web-chromium-plain "${page_test[@]}" "$log/web-chromium-plain" --engine chromium --plain
  suite web-webkit scripts/xvfb.sh 1280x1024 node $page/webkit_test.mjs build/web build/web-stage/assets "$log/web-webkit"
  suite web-webkit-plain scripts/xvfb.sh 1280x1024 node $page/webkit_test.mjs build/web build/web-stage/assets \
    "$log/web-webkit-plain" --plain
  suite web-devices node $page/devices_test.mjs build/web "$log/web-devices"
}
pages_firefox() {
  suite web-firefox "${page_test[@]}" "$log/web-firefox" --engine firefox
  suite web-firefox-plain "${page_test[@]}" "$log/web-firefox-plain" --engine firefox --plain
  # Firefox with no sound server at all: the production plays on without sound and says so.
  suite web-firefox-silent "${page_test[@]}" "$log/web-firefox-silent" --engine firefox --silent
  # What a visit transfers and how long it takes on slow networks, kept files, offline, a new
  # release, installability and the preview.
  suite web-load node $page/load_test.mjs build/web build/web-stage/assets "$log/web-load"
}
wine_lane() {
  under_wine wine-production tests/e2e/production.sh wine build/win/e2e/production build/linux/assets "$wintree/vadurer.exe"
  under_wine wine-display tests/e2e/display.sh wine build/win/e2e/display "$wintree/tests/display_check.exe"
}
# The native end-to-end checks three at a time, each on a display of its own, the longest first.
end_to_end() { ctests end-to-end -j3 -E '^unit$'; }

# Everything at once but the unit programs, which run one after another: no test is timed against
# the wall clock, and most of them wait on the production's clock. Started first, the longest: the
# suites that declare that their code runs on more than one thread, under ThreadSanitizer (a core's
# work for half a minute), the end-to-end checks (the enlarged video's render), the whole
# production and the display under Wine; then the page's build, its suites once it is built, and
# the other unit programs.
suite_beside threads env -C "$(run_in threads)" TESTS_LABEL=threads TSAN_OPTIONS=halt_on_error=1 \
  "$root/build/tsan/tests/vadurer_tests" --threaded
lane_beside end-to-end end_to_end
lane_beside wine wine_lane
web_built=false
check web-build env JOBS="$jobs" scripts/web.sh build/linux build/web && web_built=true
if $web_built; then
  lane_beside pages pages_chromium_webkit
  lane_beside pages-firefox pages_firefox
fi
# The C++ as .clang-format says, every file.
check format scripts/format.sh --check
suite native env -C "$(run_in native)" TESTS_LABEL=native "$root/build/linux/tests/vadurer_tests"
suite windows env -C "$(run_in windows)" "$root/scripts/wine-run.sh" --arch "$route" "$root/$wintree/tests/vadurer_tests.exe"
# Leaks fail the sanitizers' run, but for what is meant to live until the process ends
# (tests/lsan.supp).
suite sanitizers env -C "$(run_in sanitizers)" TESTS_LABEL=sanitizers VADURER_QUIT_RUNS=10 ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" UBSAN_OPTIONS=print_stacktrace=1 \
  "$root/build/asan/tests/vadurer_tests"
suite_joined threads
lane_joined wine
lane_joined end-to-end
if $web_built; then
  lane_joined pages
  lane_joined pages-firefox
fi

# The releases, made from the trees above (and a native one with Debian's build flags), each
# checked with its platform's own tools.
# The page's folder in the zip is compared with the one the page tests above played, rather than
# played once more; the Windows program, which played to its end under Wine above, plays its
# first seconds from the zip's folder; and the videos are the end-to-end tests' renders where the
# release's program is the one they rendered with.
check dist env VADURER_PAGE_PLAYED="$root/build/web" VADURER_WINE_PLAYED="$root/$wintree/vadurer.exe" \
  VADURER_RENDERED_BY="$root/build/linux/vadurer" VADURER_RENDERED_X1="$root/build/linux/e2e/video/a.mp4" \
  VADURER_RENDERED_X3="$root/build/linux/e2e/video-x3/x3.mp4" make --no-print-directory dist-check JOBS="$jobs"

echo "Windows route: $route; $(( ($(date +%s) - started) / 60 )) min $(( ($(date +%s) - started) % 60 )) s in all"
report_end total
