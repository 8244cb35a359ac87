#!/usr/bin/env bash
# make dist-check: each release in dist/ (scripts/dist.sh) checked the way its platform checks it.
#   sums     SHA256SUMS lists the five and they match
#   licence  each release carries the MIT licence of LICENSE: the package's copyright file (in the
#            machine-readable format, its licence text LICENSE's) and AppStream's project_license,
#            the Windows zip's README.txt, the web zip's LICENSE.txt, the videos' copyright tag
#   deb      lintian: no error and no warning; desktop-file-validate, appstreamcli validate and
#            man -l on what the package holds; installed with dpkg into a throwaway root, its
#            dependencies installed here, `vadurer --help` from the PATH, the installed production
#            on Xvfb (its first seconds, then exit code 27 after a real Escape: the "escape" kind
#            of tests/e2e/production.sh), and removed again without a trace
#   windows  the zip unpacks into its folder; objdump lists the icon, version and manifest
#            resources and windres reads their contents back; the whole production under Wine from
#            that folder ("wine" kind), or, with VADURER_WINE_PLAYED=EXE naming the same program
#            played to its end already, its first seconds and exit code 27 after a real Escape. Where this machine cannot run 32-bit programs, the
#            x86_64 build runs in the same folder instead, and the check says so.
#   web      the zip unpacked and served by a plain static server, the page test
#            (tests/platform/host/web/page_test.mjs); or, with VADURER_PAGE_PLAYED=DIR, its files
#            compared with DIR, a folder the page test has played
#   video    ffprobe: H.264 and AAC at 48 kHz, 640 x 480 and, enlarged three times, 1920 x 1440 (High
#            profile, 4:2:0, 60 frames a second, the index at the front), the production's length
# One line per check, a closing count; the exit code says whether all passed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dist=$root/dist
work=$root/build/dist-check

# shellcheck source=/dev/null
. build/release/release.env 2>/dev/null || { echo "dist-check: no build/release/release.env; run make dist first"; exit 1; }
version=$VADURER_VERSION
deb=$dist/vadurer_${version}_$(dpkg --print-architecture).deb
winzip=$dist/vadurer-$version-windows-i686.zip
webzip=$dist/vadurer-$version-web.zip
video=$dist/vadurer-$version.mp4
video3=$dist/vadurer-$version-1920x1440.mp4
for f in "$deb" "$winzip" "$webzip" "$video" "$video3" "$dist/SHA256SUMS"; do
  [ -f "$f" ] || { echo "dist-check: $f is missing; run make dist first"; exit 1; }
done
rm -rf "$work" && mkdir -p "$work"
source scripts/xvfb.sh

# check NAME COMMAND...: a check that passes by its exit code, its output kept and shown
# (scripts/report.sh).
# shellcheck source=scripts/report.sh
. scripts/report.sh
report_start "$work"
say() { echo "  $*"; }
# Each check runs in a subshell of its own (check's pipe): a failed step ends it.
no() { echo "  $*"; exit 1; }

sums() {
  [ "$(awk '{ print $2 }' "$dist/SHA256SUMS" | sort | tr '\n' ' ')" = \
    "$(cd "$dist" && ls vadurer* | sort | tr '\n' ' ')" ] || no "SHA256SUMS does not list exactly the five releases"
  (cd "$dist" && sha256sum --check --strict SHA256SUMS)
}

# ------------------------------------------------------------------------------- the package
pkgroot=$work/deb-root

deb_lintian() {
  # Every tag down to the pedantic and experimental ones is shown; errors and warnings fail.
  lintian --fail-on error,warning --display-info --pedantic --display-experimental "$deb" 2>&1 |
    grep -v 'running with root privileges'
  [ "${PIPESTATUS[0]}" -eq 0 ] || no "lintian found errors or warnings"
}

deb_files() {
  local unpacked=$work/deb-contents
  dpkg-deb -x "$deb" "$unpacked" || return 1
  desktop-file-validate "$unpacked"/usr/share/applications/*.desktop || no "desktop-file-validate failed"
  appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml || no "appstreamcli validate failed"
  local page
  page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$unpacked/usr/share/man/man6/vadurer.6.gz" 2>"$work/man-warnings.txt") ||
    no "man -l cannot render the manual page"
  [ ! -s "$work/man-warnings.txt" ] || { cat "$work/man-warnings.txt"; no "man warns about the page"; }
  for want in 'VADURER(6)' '--window' '--scale' '--record' '--benchmark' '--version' '--help' 'Escape' 'Alt+F4' 'F11' \
    'F12' 'Pause' 'MIT'; do
    grep -qF -- "$want" <<<"$page" || no "the rendered manual page does not mention $want"
  done
  for size in 16 22 24 32 48 64 128 256; do
    identify -format '%w %h\n' "$unpacked/usr/share/icons/hicolor/${size}x$size/apps/vadurer.png" 2>/dev/null |
      grep -qx "$size $size" || no "no $size x $size icon"
  done
  say "desktop entry, AppStream metadata, manual page and icons are valid"
}

deb_install() {
  mkdir -p "$pkgroot"/var/lib/dpkg/{info,updates,triggers} && touch "$pkgroot/var/lib/dpkg/status"
  # The throwaway root knows none of the machine's packages, so its dependencies are checked
  # against the machine's own database instead.
  dpkg --root="$pkgroot" --force-depends -i "$deb" 2>&1 | grep -v -e 'is not installed' -e 'depends on' -e 'dependency problems'
  [ "${PIPESTATUS[0]}" -eq 0 ] || no "dpkg -i failed"
  dpkg-checkbuilddeps -d "$(dpkg-deb -f "$deb" Depends)" /dev/null || no "the package's dependencies are not installed here"
  local help
  help=$(cd / && PATH="$pkgroot/usr/games:$PATH" vadurer --help) || no "vadurer --help from the PATH failed"
  grep -q -- --record <<<"$help" || no "vadurer --help does not list the options"
  say "installed under $pkgroot; vadurer --help runs from the PATH"
}

deb_play() {
  # From another folder, through the launcher on the PATH, as a person would start it.
  (cd / && PATH="$pkgroot/usr/games:$PATH" on_xvfb 1024x768 "$root/tests/e2e/production.sh" escape "$work/deb-play" \
    "$pkgroot/usr/share/games/vadurer" env SDL_AUDIODRIVER=dummy vadurer)
}

deb_remove() {
  dpkg --root="$pkgroot" -r vadurer >/dev/null 2>&1 || no "dpkg -r failed"
  local left
  left=$(find "$pkgroot/usr" -type f 2>/dev/null | head -5)
  [ -z "$left" ] || no "files left after removal: $left"
  say "removed, nothing left"
}

# ------------------------------------------------------------------------- the Windows zip
windir=$work/windows/vadurer-$version-windows-i686

windows_unpack() {
  mkdir -p "$work/windows" && (cd "$work/windows" && unzip -q "$winzip") || no "unzip failed"
  [ "$(cd "$work/windows" && ls)" = "vadurer-$version-windows-i686" ] || no "the zip does not unpack into one folder"
  for f in vadurer.exe README.txt $("$root/build/release/tools/assetmaker" --list | cut -d' ' -f2); do
    [ -s "$windir/$f" ] || no "the folder has no $f"
  done
  file "$windir/README.txt" | grep -q CRLF || no "README.txt does not have Windows line ends"
  say "$(ls "$windir" | wc -l) files in $(basename "$windir")"
}

windows_resources() {
  local exe=$windir/vadurer.exe dump rc
  i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' || no "vadurer.exe is not a 32-bit Windows program"
  dump=$(i686-w64-mingw32-objdump -p "$exe")
  # The resource types at the top level of the .rsrc directory: 3 icon, 14 icon group,
  # 16 version, 24 manifest.
  for t in '000003 icon' '00000e icon group' '000010 version' '000018 manifest'; do
    grep -qE "^[0-9a-f]+   Entry: ID: 0x${t%% *}," <<<"$dump" || no "objdump shows no ${t#* } resource"
  done
  rc=$(i686-w64-mingw32-windres -J coff -O rc -i "$exe") || no "windres cannot read the resources back"
  for want in 'Name: 32512' '"\040\040\000\000", 1, 32' '"\000\000\000\000", 1, 32' \
              "VALUE \"ProductName\", \"Stop The Vadurer\"" "VALUE \"ProductVersion\", \"$version\"" \
              "VALUE \"FileDescription\", \"Stop The Vadurer, a real-time demo\"" 'dpiAware' 'supportedOS'; do
    grep -qF -- "$want" <<<"$rc" || no "the resources lack $want"
  done
  # Windows refuses to start a program whose manifest is not well-formed XML.
  python3 -c '
import re, sys, xml.dom.minidom
rc = sys.stdin.read()
body = re.search(r"^1 24 /\* RT_MANIFEST \*/\nBEGIN\n(.*?)^END", rc, re.S | re.M).group(1)
text = "".join(re.findall(r"^\s*\"(.*)\"$", body, re.M)).replace("\"\"", "\"").replace("\\n", "\n")
xml.dom.minidom.parseString(text.encode())
' <<<"$rc" || no "the manifest is not well-formed XML"
  say "objdump: icon, icon group 32512 (16 to 256), version $version, manifest (DPI aware, Windows versions)"
}

# same_program BUILT SHIPPED: SHIPPED is BUILT, or BUILT stripped as scripts/dist.sh strips it.
same_program() {
  cmp -s "$1" "$2" && return 0
  local stripped=$work/played-stripped.exe
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)} \
    i686-w64-mingw32-strip -o "$stripped" "$1" 2>/dev/null && cmp -s "$stripped" "$2"
}

windows_play() {
  local route exe=vadurer.exe
  route=$(scripts/windows-route.sh build) || return 1
  if [ "$route" = x86_64 ]; then
    # This machine cannot run 32-bit programs: the x86_64 build of the same source runs in the
    # unpacked folder instead.
    [ -f build/win64/vadurer.exe ] || {
      cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DVADURER_ASSETMAKER="$root/build/release/tools/assetmaker" >/dev/null &&
        cmake --build build/win64 -j"${JOBS:-2}" --target vadurer >/dev/null; } || no "building build/win64 failed"
    exe=vadurer-x86_64.exe
    cp build/win64/vadurer.exe "$windir/$exe"
    say "on the x86_64 route the x86_64 build runs in the unpacked folder, as $exe, in place of the i686 vadurer.exe"
  fi
  # The whole run, unless make test has just played this very program to its end under Wine: then
  # its first seconds from this folder, ended by Escape. The zip's program is the one built,
  # stripped of its debugging sections as scripts/dist.sh strips it.
  local wine kind=wine
  if [ -n "${VADURER_WINE_PLAYED:-}" ] && same_program "$VADURER_WINE_PLAYED" "$windir/$exe"; then
    kind=wine-escape
    say "the same program as $VADURER_WINE_PLAYED, which played to its end under Wine: its first seconds here"
  fi
  wine=$(scripts/wine-run.sh --arch "$route" --loader)
  scripts/wine-run.sh --arch "$route" --shell tests/e2e/production.sh "$kind" "$work/windows-play" "$windir" \
    "$wine" "$windir/$exe"
}

# ------------------------------------------------------------------------ the page and video
web_page() {
  mkdir -p "$work/web" && (cd "$work/web" && unzip -q "$webzip") || no "unzip failed"
  local page=$work/web/vadurer-$version-web
  [ -f "$page/index.html" ] || no "the zip does not unpack into the page's folder"
  [ -f "$page/screenshot.png" ] || no "the page's folder lacks the screenshot the AppStream metadata names"
  # The very folder the page tests have just played (make test says which): the same bytes.
  if [ -n "${VADURER_PAGE_PLAYED:-}" ]; then
    # (the zip adds the screenshot the AppStream metadata names)
    diff -r -x screenshot.png "$VADURER_PAGE_PLAYED" "$page" || no "the zip's page differs from the one the page tests played"
    say "the same files as $VADURER_PAGE_PLAYED, which the page tests played"
    return
  fi
  # Served as an upload to a static host would be: a plain server without the isolation headers.
  say "served by a plain static server"
  node tests/platform/host/web/page_test.mjs "$page" "$windir" "$work/web-test" --plain
}

# video_file FILE WIDTH HEIGHT
video_file() {
  local info
  info=$(ffprobe -v error -show_entries stream=codec_name,profile,width,height,pix_fmt,r_frame_rate,sample_rate:format=duration \
    -of default=nw=1 "$1") || no "ffprobe cannot read $(basename "$1")"
  echo "$(basename "$1"): $(echo "$info" | tr '\n' ' ')"
  grep -qx 'codec_name=h264' <<<"$info" && grep -qx 'codec_name=aac' <<<"$info" || no "not H.264 with AAC"
  grep -qx 'profile=High' <<<"$info" && grep -qx 'pix_fmt=yuv420p' <<<"$info" || no "not H.264 High in 4:2:0"
  grep -qx "width=$2" <<<"$info" && grep -qx "height=$3" <<<"$info" || no "not $2 x $3"
  grep -qx 'r_frame_rate=60/1' <<<"$info" && grep -qx 'sample_rate=48000' <<<"$info" || no "not 60 frames a second and 48 kHz"
  awk -F= '/^duration=/ { exit !($2 > 65 && $2 < 75) }' <<<"$info" || no "not the production's length"
  # The index (moov) before the data (mdat), so that a player starts before it has the whole file.
  python3 - "$1" <<'EOF' || no "the index is not at the front of the file"
import struct, sys
names = []
with open(sys.argv[1], "rb") as f:
    while len(head := f.read(8)) == 8:
        size, name = struct.unpack(">I4s", head)
        size = struct.unpack(">Q", f.read(8))[0] - 8 if size == 1 else size
        names.append(name)
        f.seek(size - 8, 1)
sys.exit(0 if b"moov" in names and b"mdat" in names and names.index(b"moov") < names.index(b"mdat") else 1)
EOF
}
videos() {
  video_file "$video" 640 480 && video_file "$video3" 1920 1440
}

# ------------------------------------------------------------------------------- the licence
# The licence's permission text as one line of words, from a text whatever its wrapping and line
# ends (a Debian copyright file's leading spaces and "." lines included).
permission() {
  tr -d '\r' | sed -e 's/^ //' -e 's/^\.$//' | sed -n '/^Permission is hereby granted/,/OTHER DEALINGS IN THE/p' |
    tr -s ' \n' '  '
}

licence() {
  local want holder
  want=$(permission <LICENSE)
  holder=$(sed -n 's/^Copyright (c) //p' LICENSE)
  [ "$(head -1 LICENSE)" = "MIT License" ] && [ -n "$want" ] && [ -n "$holder" ] || no "LICENSE is not the MIT licence"
  # The package: the copyright file, machine-readable (lintian checks its form), with the text.
  local unpacked=$work/licence-deb copyright
  dpkg-deb -x "$deb" "$unpacked" || no "dpkg-deb -x failed"
  copyright=$unpacked/usr/share/doc/vadurer/copyright
  [ -f "$copyright" ] || no "the package has no copyright file"
  head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    no "the package's copyright file is not in the machine-readable format"
  grep -qx "Copyright: $holder" "$copyright" && grep -qx "License: Expat" "$copyright" ||
    no "the package's copyright file does not name $holder and the MIT (Expat) licence"
  [ "$(permission <"$copyright")" = "$want" ] || no "the package's copyright file does not carry LICENSE's text"
  grep -q '<project_license>MIT</project_license>' "$unpacked"/usr/share/metainfo/*.metainfo.xml ||
    no "the AppStream metadata does not say MIT"
  say "the package: its copyright file (Expat, LICENSE's text); AppStream's project_license MIT"
  # The Windows zip's README.txt ends with the licence.
  local readme
  readme=$(unzip -p "$winzip" "vadurer-$version-windows-i686/README.txt") || no "the Windows zip has no README.txt"
  [ "$(permission <<<"$readme")" = "$want" ] && grep -q "Copyright (c) $holder" <<<"$readme" ||
    no "the Windows zip's README.txt does not carry the licence"
  say "the Windows zip: README.txt carries the licence"
  # The page's folder: LICENSE as it is.
  unzip -p "$webzip" "vadurer-$version-web/LICENSE.txt" | cmp -s - LICENSE || no "the web zip has no LICENSE.txt equal to LICENSE"
  say "the web zip: LICENSE.txt"
  local v tag
  for v in "$video" "$video3"; do
    tag=$(ffprobe -v error -show_entries format_tags=copyright -of default=nw=1:nk=1 "$v")
    [ "$tag" = "$holder, released under the MIT licence" ] || no "$(basename "$v")'s copyright tag is '$tag'"
  done
  say "the videos: their copyright tag names the licence"
}

# The Windows zip's checks beside the others: its program plays under Wine while the package's plays
# natively.
windows_checks() {
  check windows-unpack windows_unpack
  check windows-resources windows_resources
  check windows-play windows_play
}
lane_beside windows-zip windows_checks
check sums sums
check licence licence
check deb-lintian deb_lintian
check deb-files deb_files
check deb-install deb_install
check deb-play deb_play
check deb-remove deb_remove
check web-page web_page
check video videos
lane_joined windows-zip
report_end dist
