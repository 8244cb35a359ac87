#!/usr/bin/env bash
# Installs the Debian packages a target needs. As root it runs apt-get; otherwise it prints the
# one apt-get line that is needed and fails, so a newcomer knows exactly what to do.
#   scripts/deps.sh demo      what building and playing the production needs, nothing more
#   scripts/deps.sh video     what recording the production to a video needs beyond that
#   scripts/deps.sh native    Linux build and every native test
#   scripts/deps.sh windows   the i686 cross-build that ships (make windows)
#   scripts/deps.sh wine ROUTE  the Windows tests' route (scripts/windows-route.sh): i686 adds the
#                             i386 architecture and the 32-bit Wine; x86_64 the x86_64 cross
#                             compiler and the 64-bit Wine alone
#   scripts/deps.sh web       the page: emscripten, ffmpeg for the music; for its tests Chromium,
#                             Firefox, WebKitGTK's WebDriver, a sound server and the test's
#                             node packages (tests/platform/host/web/package-lock.json)
#   scripts/deps.sh dist      the releases (make dist): all three builds, the video, dpkg's tools
#   scripts/deps.sh dist-check  their checks beyond the Windows route: lintian, the desktop entry's
#                             and AppStream's validators, man, Xvfb and the page's browser
set -eu

demo_pkgs="cmake make g++ pkg-config libsdl2-dev libx11-dev libpng-dev libsamplerate0-dev libfreetype-dev
  fonts-dejavu-core"
native_pkgs="$demo_pkgs ccache googletest libbenchmark-dev xvfb xauth xdotool x11-apps x11-utils openbox imagemagick
  sox ffmpeg clang libclang-rt-14-dev pulseaudio python3 dpkg-dev"
windows_pkgs="g++-mingw-w64-i686 ccache"
web_pkgs="emscripten ccache chromium firefox-esr webkit2gtk-driver pulseaudio xvfb xauth ffmpeg xz-utils imagemagick tidy
  nodejs python3"
dist_pkgs="$demo_pkgs $windows_pkgs $web_pkgs dpkg-dev zip"
dist_check_pkgs="lintian desktop-file-utils appstream man-db unzip file imagemagick xvfb xauth xdotool $web_pkgs"

what=${1:-native}
case "$what" in
  demo) pkgs=$demo_pkgs ;;
  video) pkgs="$demo_pkgs ffmpeg" ;;
  native) pkgs=$native_pkgs ;;
  windows) pkgs=$windows_pkgs ;;
  wine)
    case "${2:-}" in
      i686) pkgs="$windows_pkgs wine wine32 xvfb xauth pulseaudio" ;;
      x86_64) pkgs="$windows_pkgs g++-mingw-w64-x86-64 wine wine64 xvfb xauth pulseaudio" ;;
      *) echo "usage: $0 wine i686|x86_64" >&2; exit 2 ;;
    esac ;;
  web) pkgs=$web_pkgs ;;
  dist) pkgs=$dist_pkgs ;;
  dist-check) pkgs=$dist_check_pkgs ;;
  *) echo "usage: $0 demo|video|native|windows|wine ROUTE|web|dist|dist-check" >&2; exit 2 ;;
esac
# Only the 32-bit Wine needs the i386 architecture.
needs_i386=no
case " $pkgs " in *" wine32 "*) needs_i386=yes ;; esac

missing=()
for p in $pkgs; do
  # An i386 package is asked for by its qualified name so that the amd64 one does not count.
  q=$p; [ "$p" = wine32 ] && q=wine32:i386
  dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The page's tests drive the browsers through the node packages their lock file names.
# (Installed again only when the lock file changed since.)
npm_packages() {
  [ "$what" = web ] || return 0
  local dir
  dir=$(cd "$(dirname "$0")/.." && pwd)/tests/platform/host/web
  cmp -s "$dir/package-lock.json" "$dir/node_modules/.installed-lock.json" && return 0
  # (npm comes with the nodejs package, or, where that is Debian's own, in a package of its own.)
  command -v npm >/dev/null || { echo "npm missing; run as root: apt-get install -y npm" >&2; return 1; }
  npm ci --prefix "$dir" --no-audit --no-fund --loglevel=error >/dev/null &&
    cp "$dir/package-lock.json" "$dir/node_modules/.installed-lock.json"
}
[ ${#missing[@]} -eq 0 ] && { npm_packages; exit 0; }

if [ "$(id -u)" -ne 0 ]; then
  line="apt-get install -y ${missing[*]}"
  [ "$needs_i386" = yes ] && line="dpkg --add-architecture i386 && apt-get update && $line"
  echo "missing packages; run as root: $line" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
added_i386=no
if [ "$needs_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_i386=yes
fi
# A mirror part-way through a sync serves lists that do not match its index for a while: the lists
# are fetched again twice, then the install goes on with those there are.
for wait in 10 30 none; do
  apt-get update -qq && break
  if [ "$wait" = none ]; then
    echo "deps: the package lists did not all download; going on with those there are" >&2
  else
    echo "deps: the package lists did not all download; again in $wait s" >&2
    sleep "$wait"
  fi
done
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  echo "deps: could not install: ${missing[*]}" >&2
  # The i386 architecture added for them goes again, so that it does not break later updates.
  [ "$added_i386" = yes ] && dpkg --remove-architecture i386 2>/dev/null
  exit 1
fi
npm_packages
