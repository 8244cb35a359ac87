#!/usr/bin/env bash
# make dist: the production's releases and their checksums in dist/, each named with the
# project's version (project() in CMakeLists.txt), each carrying the licence (LICENSE, MIT):
#   vadurer-VERSION-windows-i686.zip  one folder: vadurer.exe (with its icon, version and
#                                     manifest), its fourteen files and README.txt (which ends
#                                     with the licence)
#   vadurer_VERSION_amd64.deb         the Debian package, games layout (scripts/deb.sh); the
#                                     licence in its copyright file
#   vadurer-VERSION-web.zip           the page's folder, ready for a static host, with LICENSE.txt
#   vadurer-VERSION.mp4               the video, 640 x 480
#   vadurer-VERSION-1920x1440.mp4     the video enlarged three times, for video sites
#                                     (both videos name the licence in their copyright tag)
#   SHA256SUMS
# Each tree is built where it already is, incrementally: build/release (native, Debian's build
# flags, the /usr prefix, no tests), build/win (i686) and build/web.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
release=build/release
stage=$root/build/dist-stage
out=$root/dist
log=build/dist-logs
mkdir -p "$log"

fail() { echo "make dist: $*" >&2; exit 1; }
# quiet NAME COMMAND...: COMMAND's output goes to build/dist-logs/NAME.log, shown if it fails.
quiet() {
  local name=$1; shift
  "$@" >"$log/$name.log" 2>&1 || { tail -30 "$log/$name.log"; fail "$name failed (see $log/$name.log)"; }
}

# The archives' time stamps are the last commit's, not the build's: the same source gives the same
# package, Windows zip and video (not yet the same page: emscripten's packager and ffmpeg's Ogg
# muxer each stamp a run with a random number).
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH TZ=UTC

native_tree() {
  echo "== the native program ($release, with Debian's build flags)"
  # The native tree the tests run has the same flags (scripts/debian-flags.sh): every compile here
  # is one the compiler cache has seen.
  local flags
  mapfile -t flags < <(scripts/debian-flags.sh)
  [ ${#flags[@]} -gt 0 ] || fail "dpkg-buildflags is not installed (dpkg-dev)"
  quiet release-configure cmake -S . -B "$release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "${flags[@]}"
  quiet release-build cmake --build "$release" -j"$jobs"
}

windows_tree() {
  echo "== the Windows program (build/win, i686)"
  quiet win-configure cmake -S . -B build/win -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVADURER_ASSETMAKER="$root/$release/tools/assetmaker"
  quiet win-build cmake --build build/win -j"$jobs" --target vadurer
}

web_tree() {
  echo "== the page (build/web)"
  quiet web env JOBS="$jobs" scripts/web.sh "$release" build/web
}

# tagged IN OUT: the video IN as OUT, the same streams with the production's title and licence.
tagged() {
  local holder
  holder=$(sed -n 's/^Copyright (c) //p' LICENSE)
  [ -n "$holder" ] || fail "LICENSE names no copyright holder"
  ffmpeg -v error -y -i "$1" -map 0 -c copy -map_metadata -1 -metadata title="Stop The Vadurer $VADURER_VERSION" \
    -metadata copyright="$holder, released under the MIT licence" -fflags +bitexact -movflags +faststart "$2"
}

# same_build A B: the two programs are the same but for their build IDs, which hash their debugging
# sections and, with them, the folders they were built in.
same_build() {
  local a=$stage/same-build-a b=$stage/same-build-b rc=1
  strip --remove-section=.note.gnu.build-id -o "$a" "$1" 2>/dev/null &&
    strip --remove-section=.note.gnu.build-id -o "$b" "$2" 2>/dev/null && cmp -s "$a" "$b" && rc=0
  rm -f "$a" "$b"
  return "$rc"
}

# render NAME FILE RENDERED [ARGS...]: the production rendered to FILE (scripts/video.sh ARGS), or a
# copy of RENDERED where make test's end-to-end tests have just rendered it: by VADURER_RENDERED_BY,
# the same program as this one but for where it was built, from the assets folder beside RENDERED,
# the same as these. A render of the same program and assets is the same bytes.
render() {
  local name=$1 file=$2 rendered=$3
  shift 3
  if [ -n "$rendered" ] && [ -s "$rendered" ] && [ -n "${VADURER_RENDERED_BY:-}" ] &&
    same_build "$VADURER_RENDERED_BY" "$release/vadurer" &&
    diff -rq "$(dirname "$rendered")/assets" "$release/assets" >/dev/null 2>&1; then
    echo "   $name: $rendered, rendered in make test by the same program from the same assets"
    cp "$rendered" "$file"
  else
    quiet "$name" scripts/video.sh "$release/vadurer" "$release/assets" "$file" "$@"
  fi
}

video() {
  echo "== the videos"
  render video "$stage/$base.mp4" "${VADURER_RENDERED_X1:-}"
  # The AppStream metadata's screenshot: the cube inside the emblem as it zooms away.
  quiet screenshot ffmpeg -v error -y -ss 10.7 -i "$stage/$base.mp4" -frames:v 1 "$stage/screenshot.png"
  quiet video-tag tagged "$stage/$base.mp4" "$out/$base.mp4"
  # For video sites: each pixel a block of 3 x 3, which their own coding keeps sharp.
  render video-x3 "$stage/$base-1920x1440.mp4" "${VADURER_RENDERED_X3:-}" --scale 3
  quiet video-x3-tag tagged "$stage/$base-1920x1440.mp4" "$out/$base-1920x1440.mp4"
}

# zip_folder NAME: the folder $stage/NAME as $out/NAME.zip, in a fixed order with fixed times.
zip_folder() {
  find "$stage/$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$stage" && find "$1" -print | LC_ALL=C sort | zip -q -X -9 -@ "$out/$1.zip")
}

windows_zip() {
  local name=$base-windows-i686
  rm -rf "${stage:?}/$name" && mkdir -p "$stage/$name"
  # Without its debugging sections; the resources stay.
  i686-w64-mingw32-strip -o "$stage/$name/vadurer.exe" build/win/vadurer.exe
  cp "$release"/assets/* build/win/resources/README.txt "$stage/$name/"
  zip_folder "$name"
}

web_zip() {
  local name=$base-web
  rm -rf "${stage:?}/$name" && mkdir -p "$stage/$name"
  cp -r build/web/. "$stage/$name/"
  cp "$stage/screenshot.png" "$stage/$name/"
  zip_folder "$name"
}

native_tree
# shellcheck source=/dev/null
. "$release/release.env"
base=vadurer-$VADURER_VERSION
windows_tree
web_tree
rm -rf "$out" && mkdir -p "$out" "$stage"
video
echo "== packing"
quiet deb scripts/deb.sh "$release" "$out"
windows_zip
web_zip
(cd "$out" && sha256sum vadurer* >SHA256SUMS)
echo "$out (version $VADURER_VERSION):"
(cd "$out" && for f in *; do printf '  %-36s %10d bytes\n' "$f" "$(stat -c %s "$f")"; done)
