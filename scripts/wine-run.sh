#!/usr/bin/env bash
# Runs a Windows program under Wine, in a throwaway prefix under build/, on a virtual X display,
# inside the prefix's own virtual desktop (so that a 640 x 480 x 8 display mode can be set and
# wine still hands back the program's exit code), with a sound server for DirectSound.
#   scripts/wine-run.sh [--arch i686|x86_64] PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh [--arch i686|x86_64] --shell COMMAND [ARGS...]
#   scripts/wine-run.sh [--arch i686|x86_64] --loader   prints the loader that starts programs
# --shell runs COMMAND in that setting instead, with $WINE naming the loader to start programs with.
# i686 (the default) runs in a 32-bit prefix through the 32-bit loader; x86_64 runs in a 64-bit
# prefix through the 64-bit loader alone, so that nothing 32-bit is ever started.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
arch=i686
if [ "${1:-}" = --arch ]; then arch=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [--arch i686|x86_64] PROGRAM.exe [ARGS...] | --shell COMMAND [ARGS...]" >&2; exit 2; }
shell=no loader=no
case "$1" in
  --shell) shell=yes; shift ;;
  --loader) loader=yes ;;
esac

case "$arch" in
  i686) export WINEARCH=win32 WINE=wine ;;
  x86_64) export WINEARCH=win64 WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "$0: unknown architecture $arch" >&2; exit 2 ;;
esac
[ "$loader" = yes ] && { echo "$WINE"; exit 0; }
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers in a throwaway prefix
export WINEPREFIX="$root/build/wineprefix.$$"
mkdir -p "$WINEPREFIX"

# A sound server of the run's own, its socket beside the prefix: runs side by side never share one,
# and stopping it when we leave stops only ours.
export PULSE_RUNTIME_PATH="$WINEPREFIX.pulse"
mkdir -p "$PULSE_RUNTIME_PATH"
if ! pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix >"$WINEPREFIX.pulse.log" 2>&1; then
  echo "wine-run: the sound server did not start:" >&2
  cat "$WINEPREFIX.pulse.log" >&2
  rm -rf "$WINEPREFIX" "$WINEPREFIX.pulse" "$WINEPREFIX.pulse.log"
  exit 1
fi
cleanup() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1
  pulseaudio --kill >/dev/null 2>&1
  rm -rf "$WINEPREFIX" "$WINEPREFIX.pulse" "$WINEPREFIX.pulse.log"
}
trap cleanup EXIT

# Inside the X server: a fresh prefix with its 640 x 480 desktop, then the program (or command).
# A prefix that cannot be made is a failure of its own, named, before anything is run in it.
inside='
  "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wine-run: wineboot failed ($WINE, $WINEARCH)" >&2; exit 125; }
  "$WINE" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null 2>&1 &&
  "$WINE" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 640x480 /f >/dev/null 2>&1 ||
    { echo "wine-run: could not set the virtual desktop" >&2; exit 125; }
  wineserver -w
  if [ "$0" = yes ]; then exec "$@"; else exec "$WINE" "$@"; fi
'
source "$root/scripts/xvfb.sh"
on_xvfb 1024x768 bash -c "$inside" "$shell" "$@" 2> >(grep -v "^X connection to" >&2)
